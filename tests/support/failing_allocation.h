// Making one C++ allocation fail, to see that a call answers E_OUTOFMEMORY and leaves things as
// they were. Linking this replaces the global operator new and delete in every form; they act
// as the standard ones do until a test arms them, and then only on the thread that armed them.
#pragma once

#include <cstddef>

#include "vexa/automation.h"

namespace vexa::test {

// While it lives, the n-th allocation made on this thread (1: the next one) fails: the throwing
// forms of operator new throw std::bad_alloc, the nothrow forms answer null. Only that one fails.
class FailingAllocation {
public:
    explicit FailingAllocation(size_t n);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Whether the n-th allocation came, and failed.
    bool Failed() const;
};

// Runs call() with its first allocation failing, then with its second, and so on, handing each
// run's HRESULT and failing position to afterFailure. The first run that ends before its failing
// allocation comes ends the sweep; what that run answered is returned.
template <class Call, class AfterFailure>
HRESULT SweepAllocationFailures(Call&& call, AfterFailure&& afterFailure) {
    for (size_t n = 1;; ++n) {
        HRESULT hr;
        bool failed;
        {
            FailingAllocation failing(n);
            hr = call();
            failed = failing.Failed();
        }
        if (!failed) return hr;
        afterFailure(n, hr);
    }
}

}  // namespace vexa::test
