#include "vexa_module.h"

#include <dlfcn.h>
#include <iconv.h>
#include <stdexcept>
#include <vector>

namespace vexa_host {

namespace {

template <class F>
void Resolve(void* handle, const char* name, F& out) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (!out) throw std::runtime_error(std::string("the module does not export ") + name);
}

std::string Convert(const char* to, const char* from, const char* data, size_t bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert text");
    std::vector<char> out(bytes * 2 + 16);
    char* in = const_cast<char*>(data);
    size_t inLeft = bytes;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw std::runtime_error("text cannot be converted");
    return std::string(out.data(), out.size() - outLeft);
}

}  // namespace

VexaModule::VexaModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
    Resolve(handle_, "DllGetClassObject", DllGetClassObject);
    Resolve(handle_, "DllCanUnloadNow", DllCanUnloadNow);
    Resolve(handle_, "SysAllocStringLen", SysAllocStringLen);
    Resolve(handle_, "SysFreeString", SysFreeString);
    Resolve(handle_, "SysStringLen", SysStringLen);
    Resolve(handle_, "VariantInit", VariantInit);
    Resolve(handle_, "VariantClear", VariantClear);
    Resolve(handle_, "SafeArrayDestroy", SafeArrayDestroy);
    Resolve(handle_, "SafeArrayGetElement", SafeArrayGetElement);
}

VexaModule::~VexaModule() {
    if (handle_ && DllCanUnloadNow() == S_OK) dlclose(handle_);
}

HRESULT VexaModule::CreateObject(const CLSID& clsid, const IID& iid, void** ppv) const {
    IClassFactory* factory = nullptr;
    HRESULT hr = DllGetClassObject(&clsid, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, iid, ppv);
    factory->Release();
    return hr;
}

ModuleString::ModuleString(const VexaModule& m, std::u16string_view text)
    : m_(&m), s_(m.SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

std::string Utf8(std::u16string_view text) {
    return Convert("UTF-8", "UTF-16LE", reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::u16string Utf16(std::string_view text) {
    std::string bytes = Convert("UTF-16LE", "UTF-8", text.data(), text.size());
    return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

}  // namespace vexa_host
