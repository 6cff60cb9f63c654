#include "contract/array_base.h"

#include <atomic>

namespace vexa {

namespace {
// Objects are apartment-bound, but two apartments may share the module; a relaxed atomic keeps
// the plain-integer semantics without a data race.
std::atomic<LONG> g_arrayBase{0};
}  // namespace

LONG ArrayBase() { return g_arrayBase.load(std::memory_order_relaxed); }

HRESULT SetArrayBase(LONG value) {
    // Compared unsigned, so negative values are refused as well.
    if (static_cast<ULONG>(value) > 1) return E_INVALIDARG;
    g_arrayBase.store(value, std::memory_order_relaxed);
    return S_OK;
}

}  // namespace vexa
