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

namespace vexa::sandbox {

class BodyBudget {
public:
    // A share of the budget, given back when the lease goes.
    class Lease {
    public:
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();

    private:
        friend class BodyBudget;
        Lease(BodyBudget* budget, size_t bytes) : budget_(budget), bytes_(bytes) {}
        void Release();

        BodyBudget* budget_;
        size_t bytes_;
    };

    // A request waiting for room; it stops waiting when this goes.
    class Watch {
    public:
        Watch() = default;
        Watch(Watch&& other) noexcept;
        Watch& operator=(Watch&& other) noexcept;
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
        ~Watch();

    private:
        friend class BodyBudget;
        Watch(BodyBudget* budget, uint64_t id) : budget_(budget), id_(id) {}
        void Release();

        BodyBudget* budget_ = nullptr;
        uint64_t id_ = 0;
    };

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
    void Give(size_t bytes);
    void Forget(uint64_t id);

    const size_t capacity_;
    mutable std::mutex mutex_;
    size_t used_ = 0;
    uint64_t nextId_ = 1;
    std::map<uint64_t, std::function<void()>> waiting_;  // oldest first
};

}  // namespace vexa::sandbox
