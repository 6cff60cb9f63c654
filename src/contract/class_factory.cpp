#include "contract/class_factory.h"

#include "automation/guarded.h"

namespace vexa {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    return QueryInterfaceFromMap(this, InterfaceList<ClassFactory, IClassFactory>::map, false, this, riid,
                                 ppv);
}

// Never freed: the module keeps its class objects. External references lock the module.
ULONG ClassFactory::AddRef() noexcept {
    const ULONG refs = ++refs_;
    if (refs == 1) ModuleLock();
    return refs;
}

ULONG ClassFactory::Release() noexcept {
    const ULONG refs = --refs_;
    if (refs == 0) ModuleUnlock();
    return refs;
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) noexcept {
    return Guarded([&] { return create_(pUnkOuter, riid, ppvObject); });
}

HRESULT ClassFactory::LockServer(int32_t fLock) noexcept {
    if (fLock)
        ModuleLock();
    else
        ModuleUnlock();
    return S_OK;
}

}  // namespace vexa
