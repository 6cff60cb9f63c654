// The bytes of request bodies the sandbox holds at once, being read or being answered: a request
// takes its share before its body is read and gives it back once it is answered, so many large
// requests at once wait for room instead of taking the process's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "sandbox/give_back.h"

namespace vexa::sandbox {

class BodyBudget {
    void Give(const size_t& bytes);
    void Forget(const uint64_t& id);

public:
    // A share of the budget, given back when the lease goes.
    using Lease = GiveBack<BodyBudget, size_t, &BodyBudget::Give>;
    // A request waiting for room; it stops waiting when the watch goes.
    using Watch = GiveBack<BodyBudget, uint64_t, &BodyBudget::Forget>;

    struct Attempt {
        std::optional<Lease> lease;  // the share, when it fits now
        Watch watch;                 // otherwise: `retry` is called once room is given back
    };

    explicit BodyBudget(size_t capacity) : capacity_(capacity) {}
    BodyBudget(const BodyBudget&) = delete;
    BodyBudget& operator=(const BodyBudget&) = delete;

    size_t Capacity() const { return capacity_; }
    size_t InUse() const;

    // `bytes` of the budget (at most Capacity()) now, or a watch whose `retry` runs once, on the
    // thread that gives room back, for the caller to try again.
    Attempt Take(size_t bytes, std::function<void()> retry);

private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    size_t used_ = 0;
    uint64_t nextId_ = 1;
    std::map<uint64_t, std::function<void()>> waiting_;  // oldest first
};

}  // namespace vexa::sandbox
