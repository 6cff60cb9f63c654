// The class object of a creatable class. It lives as long as the module; while a host holds a
// reference to it, the module stays locked.
#pragma once

#include <atomic>
#include <span>

#include "automation/com_object.h"
#include "vexa/automation.h"

namespace vexa {

class ClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

    explicit ClassFactory(Creator create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    // The one catch of object creation: a class's constructor may allocate.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(int32_t fLock) noexcept override;

private:
    Creator create_;
    std::atomic<ULONG> refs_{0};
};

}  // namespace vexa
