// The replacement operators and the switch that arms them live in one file, so a suite that arms
// a failure always links the operators too.
#include "failing_allocation.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <new>

namespace {

// Allocations on this thread until the failing one, counting it; 0 when disarmed.
thread_local size_t t_untilFailure = 0;
thread_local bool t_failed = false;

bool FailsNow() noexcept {
    if (t_untilFailure == 0 || --t_untilFailure > 0) return false;
    t_failed = true;
    return true;
}

void* Allocate(std::size_t size) noexcept { return FailsNow() ? nullptr : std::malloc(size ? size : 1); }

void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
    if (FailsNow()) return nullptr;
    void* p = nullptr;
    const std::size_t align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    return posix_memalign(&p, align, size ? size : 1) == 0 ? p : nullptr;
}

void* AllocateOrThrow(void* p) {
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace vexa::test {

FailingAllocation::FailingAllocation(size_t n) {
    assert(n > 0 && t_untilFailure == 0);  // one armed failure at a time
    t_untilFailure = n;
    t_failed = false;
}

FailingAllocation::~FailingAllocation() { t_untilFailure = 0; }

bool FailingAllocation::Failed() const { return t_failed; }

}  // namespace vexa::test

void* operator new(std::size_t size) { return AllocateOrThrow(Allocate(size)); }
void* operator new[](std::size_t size) { return AllocateOrThrow(Allocate(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateOrThrow(AllocateAligned(size, a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
    return AllocateOrThrow(AllocateAligned(size, a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
