// The exported entry points of libvexa-activation.so.
#include "vexa/activation.h"

#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "activation/class_resolution.h"
#include "activation/class_text.h"
#include "activation/module_cache.h"
#include "activation/registry_sources.h"
#include "registry/registry_store.h"

namespace vexa::activation {

namespace {

static_assert(VEXA_E_REGISTRYDAMAGED == kRegistryDamaged, "the public name of the registry's failure");

HRESULT Resolve(const OLECHAR* progIdOrClsid, ResolvedClass& out) {
    const std::optional<std::string> text = AsciiText(progIdOrClsid);
    if (!text) return CO_E_CLASSSTRING;
    return ResolveClass(ReadRegistries(), *text, out);
}

HRESULT CreateObject(const OLECHAR* progIdOrClsid, const GUID& riid, void** ppv) {
    ResolvedClass resolved;
    if (const HRESULT hr = Resolve(progIdOrClsid, resolved); FAILED(hr)) return hr;
    GetClassObjectFunction getClassObject = nullptr;
    if (const HRESULT hr = ClassObjectFunction(resolved.modulePath, getClassObject); FAILED(hr)) return hr;
    IClassFactory* factory = nullptr;
    if (const HRESULT hr =
            getClassObject(&resolved.clsid, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
        FAILED(hr))
        return hr;
    if (!factory) return E_UNEXPECTED;  // a class object that claims success must give one
    const HRESULT hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

HRESULT ResolveInto(const OLECHAR* progIdOrClsid, CLSID* clsid, char* modulePath, size_t* pathSize) {
    ResolvedClass resolved;
    if (const HRESULT hr = Resolve(progIdOrClsid, resolved); FAILED(hr)) return hr;
    if (clsid) *clsid = resolved.clsid;
    if (!pathSize) return S_OK;
    const size_t needed = resolved.modulePath.size() + 1;
    const size_t room = *pathSize;
    *pathSize = needed;
    if (!modulePath) return S_OK;
    if (room < needed) return VEXA_E_INSUFFICIENTBUFFER;
    std::memcpy(modulePath, resolved.modulePath.c_str(), needed);
    return S_OK;
}

}  // namespace

}  // namespace vexa::activation

extern "C" {

HRESULT VexaCreateObject(const OLECHAR* progIdOrClsid, const GUID* riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!progIdOrClsid || !riid) return E_INVALIDARG;
    try {
        return vexa::activation::CreateObject(progIdOrClsid, *riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;  // nothing may unwind into a host's C frames
    }
}

HRESULT VexaResolveClass(const OLECHAR* progIdOrClsid, CLSID* clsid, char* modulePath, size_t* pathSize) {
    if (!progIdOrClsid) return E_INVALIDARG;
    if (modulePath && !pathSize) return E_POINTER;
    try {
        return vexa::activation::ResolveInto(progIdOrClsid, clsid, modulePath, pathSize);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;  // nothing may unwind into a host's C frames
    }
}

}  // extern "C"
