#include "sandbox/body_budget.h"

#include <utility>
#include <vector>

namespace vexa::sandbox {

size_t BodyBudget::InUse() const {
    std::lock_guard lock(mutex_);
    return used_;
}

BodyBudget::Attempt BodyBudget::Take(size_t bytes, std::function<void()> retry) {
    std::lock_guard lock(mutex_);
    if (bytes <= capacity_ - used_) {
        used_ += bytes;
        return {Lease(this, bytes), {}};
    }
    const uint64_t id = nextId_++;
    waiting_.emplace(id, std::move(retry));
    return {std::nullopt, Watch(this, id)};
}

void BodyBudget::Give(const size_t& bytes) {
    std::vector<std::function<void()>> retries;
    {
        std::lock_guard lock(mutex_);
        used_ -= bytes;
        // Every waiter tries again; those that still do not fit wait anew.
        for (auto& [id, retry] : waiting_) retries.push_back(std::move(retry));
        waiting_.clear();
    }
    for (const std::function<void()>& retry : retries) retry();
}

void BodyBudget::Forget(const uint64_t& id) {
    std::lock_guard lock(mutex_);
    waiting_.erase(id);
}

}  // namespace vexa::sandbox
