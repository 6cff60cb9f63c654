// Nothing throws into a host. Every function a host reaches (an exported function, an interface
// member, a late-bound call) either runs its body through Guarded or calls only what cannot throw,
// so no exception ever unwinds through a vtable or a C entry point into the host's frames.
#pragma once

#include <utility>

#include "vexa/automation.h"

namespace vexa {

// The HRESULT of the exception being handled; only for use inside a catch block.
// std::bad_alloc is E_OUTOFMEMORY, and so is std::length_error: here a length past what a
// container can hold only comes from a caller's sizes, which is a request for more memory than
// there is. Anything else is E_UNEXPECTED rather than E_OUTOFMEMORY: it is a fault of the component,
// not a shortage that a host could relieve by freeing memory and trying again.
HRESULT CurrentExceptionCode() noexcept;

// Runs body (which answers an HRESULT) and answers what it answers, or the code of what it throws.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return CurrentExceptionCode();
    }
}

// The same for the runtime functions that answer a value rather than an HRESULT: failed (a null
// string or array, a zero count) when body throws.
template <class T, class Body>
T GuardedOr(T failed, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failed;
    }
}

}  // namespace vexa
