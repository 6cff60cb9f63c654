#include "automation/com_object.h"

#include <atomic>

namespace vexa {

namespace {
std::atomic<long> g_moduleLocks{0};
}

void ModuleLock() { ++g_moduleLocks; }
void ModuleUnlock() { --g_moduleLocks; }
long ModuleLockCount() { return g_moduleLocks.load(); }

HRESULT QueryInterfaceFromMap(void* self, std::span<const InterfaceEntry> map, bool answersDispatch,
                              IUnknown* identity, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IUnknown* found = nullptr;
    if (riid == IID_IUnknown) {
        found = identity;
    } else if (answersDispatch && riid == IID_IDispatch && !map.empty()) {
        found = static_cast<IUnknown*>(map.front().cast(self));
    } else {
        for (const InterfaceEntry& e : map) {
            if (*e.iid == riid) {
                found = static_cast<IUnknown*>(e.cast(self));
                break;
            }
        }
    }
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    *ppv = found;
    return S_OK;
}

}  // namespace vexa
