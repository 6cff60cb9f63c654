// The sandbox's notion of now, in Unix seconds. Every rule that depends on time reads it from
// here, so tests can move time instead of waiting for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>

namespace vexa::sandbox {

using Clock = std::function<int64_t()>;

inline Clock SystemClock() {
    return [] { return static_cast<int64_t>(std::time(nullptr)); };
}

// A clock that stands still until it is moved; safe to read from the server's threads.
class ManualClock {
public:
    explicit ManualClock(int64_t now) : now_(now) {}
    int64_t Now() const { return now_.load(); }
    void Set(int64_t now) { now_.store(now); }
    void Advance(int64_t seconds) { now_.fetch_add(seconds); }
    Clock AsClock() const {
        return [this] { return Now(); };
    }

private:
    std::atomic<int64_t> now_;
};

}  // namespace vexa::sandbox
