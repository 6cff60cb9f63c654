// Host side of the module: loads VexaComponent32.so with dlopen and reaches the component only
// through its exported functions and interfaces, as any host program does.
#pragma once

#include <string>
#include <string_view>

#include "vexa/VexaComponent.h"

namespace vexa_host {

class VexaModule {
public:
    // Throws std::runtime_error when the module or one of its functions is missing.
    explicit VexaModule(const std::string& path);
    ~VexaModule();
    VexaModule(const VexaModule&) = delete;
    VexaModule& operator=(const VexaModule&) = delete;

    // A new object of a creatable class, through its class object.
    HRESULT CreateObject(const CLSID& clsid, const IID& iid, void** ppv) const;

    decltype(&::DllGetClassObject) DllGetClassObject = nullptr;
    decltype(&::DllCanUnloadNow) DllCanUnloadNow = nullptr;
    decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
    decltype(&::SysFreeString) SysFreeString = nullptr;
    decltype(&::SysStringLen) SysStringLen = nullptr;
    decltype(&::VariantInit) VariantInit = nullptr;
    decltype(&::VariantClear) VariantClear = nullptr;
    decltype(&::SafeArrayDestroy) SafeArrayDestroy = nullptr;
    decltype(&::SafeArrayGetElement) SafeArrayGetElement = nullptr;

private:
    void* handle_ = nullptr;
};

// A BSTR made and freed by the module.
class ModuleString {
public:
    ModuleString(const VexaModule& m, std::u16string_view text);
    explicit ModuleString(const VexaModule& m) : m_(&m) {}
    ~ModuleString() { m_->SysFreeString(s_); }
    ModuleString(const ModuleString&) = delete;
    ModuleString& operator=(const ModuleString&) = delete;

    BSTR Get() const { return s_; }
    BSTR* Out() {
        m_->SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::u16string Text() const { return s_ ? std::u16string(s_, m_->SysStringLen(s_)) : std::u16string(); }

private:
    const VexaModule* m_;
    BSTR s_ = nullptr;
};

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

}  // namespace vexa_host
