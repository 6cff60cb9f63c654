// The out-parameter rules that every accessor shares.
#pragma once

#include "vexa/automation.h"
#include "vexa/com_ptr.h"

namespace vexa {

// A plain property get: a null out-pointer is ignored.
template <class T>
HRESULT CopyOut(T value, T* out) {
    if (out) *out = value;
    return S_OK;
}

// Hands an object out as its IDispatch (the dispinterface) with one new reference.
template <class T>
HRESULT HandOutDispatch(const ComPtr<T>& obj, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!obj) return E_OUTOFMEMORY;
    return obj->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

// Clears an optional [out, retval] object pointer, as every method does first.
template <class T>
void ClearOut(T** out) {
    if (out) *out = nullptr;
}

}  // namespace vexa
