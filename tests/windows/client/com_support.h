// What the checks share: the contract as the type library's generated header gives it, RAII for
// BSTR, VARIANT and the apartment, and reading properties with their outcome checked.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <wrl/client.h>

#include "VexaComponent_h.h"
#include "check.h"

// Not in the type library: points a Message object at another service endpoint.
struct IServiceEndpoint : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetEndpoint(BSTR url) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrustedCertificates(BSTR pemFile) = 0;
};
__CRT_UUID_DECL(IServiceEndpoint, 0x34336fc6, 0x92b5, 0x4b3a, 0x8d, 0xfd, 0x62, 0x96, 0xdc, 0xd2, 0xd9, 0x37)

namespace host {

using Microsoft::WRL::ComPtr;

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return value_; }
    BSTR* Out() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring Text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    const VARIANT& Get() const { return value_; }
    VARIANT* Out() {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// The calling thread in an apartment for its lifetime.
class Apartment {
public:
    explicit Apartment(DWORD model) : hr_(CoInitializeEx(nullptr, model)) {}
    ~Apartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

// The interface T of obj; a refusal is a failed check.
template <class T>
ComPtr<T> Query(std::string_view name, IUnknown* obj) {
    ComPtr<T> typed;
    const HRESULT hr =
        obj ? obj->QueryInterface(__uuidof(T), reinterpret_cast<void**>(typed.GetAddressOf())) : E_POINTER;
    if (FAILED(hr)) Check(name, false, "QueryInterface returned " + Hex(hr));
    return typed;
}

template <class Itf, class T>
T Read(std::string_view name, Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(T*)) {
    T value{};
    const HRESULT hr = obj ? (obj->*get)(&value) : E_POINTER;
    if (FAILED(hr)) Check(name, false, "the get returned " + Hex(hr));
    return value;
}

template <class Itf>
std::wstring Read(std::string_view name, Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(BSTR*)) {
    Bstr text;
    const HRESULT hr = obj ? (obj->*get)(text.Out()) : E_POINTER;
    if (FAILED(hr)) Check(name, false, "the get returned " + Hex(hr));
    return text.Text();
}

template <class Itf, class Get>
using ReadType = decltype(Read(std::string_view{}, std::declval<Itf*>(), std::declval<Get>()));

template <class Itf, class Get>
void CheckProp(std::string_view name, Itf* obj, Get get, const ReadType<Itf, Get>& expected) {
    CheckEqual(name, Read(name, obj, get), expected);
}

template <class Collection>
ComPtr<IDispatch> Item(std::string_view name, Collection* list, LONG index) {
    ComPtr<IDispatch> item;
    const HRESULT hr = list ? list->get_Item(index, item.GetAddressOf()) : E_POINTER;
    if (FAILED(hr)) Check(name, false, "Item(" + std::to_string(index) + ") returned " + Hex(hr));
    return item;
}

}  // namespace host
