// The exported entry points of libvexa-activation.so.
#include "vexa/activation.h"

#include <cstring>
#include <exception>
#include <filesystem>
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

// A path into a caller's buffer of *size bytes, NUL-terminated; *size becomes the bytes it takes.
HRESULT CopyPath(const std::string& text, char* buffer, size_t* size) {
    if (!size) return S_OK;
    const size_t needed = text.size() + 1;
    const size_t room = *size;
    *size = needed;
    if (!buffer) return S_OK;
    if (room < needed) return VEXA_E_INSUFFICIENTBUFFER;
    std::memcpy(buffer, text.c_str(), needed);
    return S_OK;
}

HRESULT ResolveInto(const OLECHAR* progIdOrClsid, CLSID* clsid, char* modulePath, size_t* pathSize) {
    ResolvedClass resolved;
    if (const HRESULT hr = Resolve(progIdOrClsid, resolved); FAILED(hr)) return hr;
    if (clsid) *clsid = resolved.clsid;
    return CopyPath(resolved.modulePath, modulePath, pathSize);
}

// The module's self-registration picks its file with the same registry code, linked into both.
HRESULT RegistrationFileInto(char* path, size_t* pathSize, int* machineWide) {
    const RegistryScope scope = RegistrationScope();
    const std::filesystem::path file = RegistryPath(scope);
    if (file.empty()) return E_FAIL;
    if (machineWide) *machineWide = scope == RegistryScope::kMachine ? 1 : 0;
    return CopyPath(file.string(), path, pathSize);
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

HRESULT VexaRegistrationFile(char* path, size_t* pathSize, int* machineWide) {
    if (path && !pathSize) return E_POINTER;
    try {
        return vexa::activation::RegistrationFileInto(path, pathSize, machineWide);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;  // nothing may unwind into a host's C frames
    }
}

}  // extern "C"
