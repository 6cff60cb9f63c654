// Reading a string property of a host-given object through its getter.
#pragma once

#include <string>

#include "automation/bstr.h"
#include "automation/text.h"

namespace vexa {

// The value, or a null string when the read fails.
template <class Itf>
Bstr ReadBstr(Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(BSTR*)) {
    BSTR value = nullptr;
    if (FAILED((obj->*get)(&value))) return Bstr();
    return Bstr::Attach(value);
}

// The value as local text; empty when the read fails.
template <class Itf>
std::string ReadLocalText(Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(BSTR*)) {
    return ToLocal(ReadBstr(obj, get).Get());
}

}  // namespace vexa
