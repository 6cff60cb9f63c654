// The VARIANT runtime: lifetime (init, clear, copy) and OLE's coercions between the types that
// hosts pass.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "automation/bstr.h"
#include "automation/date.h"
#include "automation/guarded.h"
#include "automation/number_text.h"
#include "automation/safearray.h"
#include "automation/text.h"
#include "automation/variant.h"

namespace vexa {

namespace {

// What a VARIANT of some type owns, which says how to clear and copy it.
enum class Holds { Invalid, Data, String, Interface, Array, Reference };

// Types a VARIANT may hold a value of (and an array of, or a reference to).
bool IsValueType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_DECIMAL:
        case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

Holds Classify(VARTYPE vt) {
    if (vt & ~(VT_BYREF | VT_ARRAY | VT_TYPEMASK)) return Holds::Invalid;
    const auto base = static_cast<VARTYPE>(vt & VT_TYPEMASK);
    const bool element = IsValueType(base) || base == VT_VARIANT;
    if (vt & VT_BYREF) return element ? Holds::Reference : Holds::Invalid;
    if (vt & VT_ARRAY) return element ? Holds::Array : Holds::Invalid;
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
            return Holds::Data;
        case VT_BSTR:
            return Holds::String;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return Holds::Interface;
        default:
            return IsValueType(vt) ? Holds::Data : Holds::Invalid;
    }
}

// The value types that coercion handles (not CY, DECIMAL or records).
bool IsConvertible(VARTYPE vt) {
    return vt == VT_EMPTY || vt == VT_NULL || (IsValueType(vt) && vt != VT_CY && vt != VT_DECIMAL);
}

// Bytes that a reference to this type points at.
size_t ReferencedSize(VARTYPE base) {
    switch (base) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return 8;
        default:
            return 0;
    }
}

// The source of a coercion seen through any reference: a shallow, non-owning copy of the value.
HRESULT ReadThrough(const VARIANT& src, VARIANT& value) {
    const VARIANT* v = &src;
    if (v->vt == (VT_BYREF | VT_VARIANT)) {
        // One level of VARIANT reference, as OLE reads it.
        if (!v->pvarVal || v->pvarVal->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
        v = v->pvarVal;
    }
    if (Classify(v->vt) == Holds::Invalid) return DISP_E_BADVARTYPE;
    std::memset(&value, 0, sizeof value);
    if (!(v->vt & VT_BYREF)) {
        std::memcpy(&value, v, sizeof value);
        return S_OK;
    }
    if (!v->byref) return E_INVALIDARG;
    const auto base = static_cast<VARTYPE>(v->vt & ~VT_BYREF);
    value.vt = base;
    if (base & VT_ARRAY) {
        value.parray = *v->pparray;
        return S_OK;
    }
    const size_t size = ReferencedSize(base);
    if (size == 0) return DISP_E_BADVARTYPE;
    std::memcpy(&value.llVal, v->byref, size);
    return S_OK;
}

bool IntegerTypeOf(VARTYPE vt, IntegerType& type) {
    switch (vt) {
        case VT_I1:
            type = {8, true};
            return true;
        case VT_UI1:
            type = {8, false};
            return true;
        case VT_I2:
            type = {16, true};
            return true;
        case VT_UI2:
            type = {16, false};
            return true;
        case VT_I4:
        case VT_INT:
            type = {32, true};
            return true;
        case VT_UI4:
        case VT_UINT:
            type = {32, false};
            return true;
        case VT_I8:
            type = {64, true};
            return true;
        case VT_UI8:
            type = {64, false};
            return true;
        default:
            return false;
    }
}

void StoreInteger(WideInt v, VARTYPE vt, VARIANT& out) {
    out.vt = vt;
    out.llVal = 0;
    switch (vt) {
        case VT_I1:
            out.cVal = static_cast<char>(static_cast<signed char>(v));
            break;
        case VT_UI1:
            out.bVal = static_cast<BYTE>(v);
            break;
        case VT_I2:
            out.iVal = static_cast<SHORT>(v);
            break;
        case VT_UI2:
            out.uiVal = static_cast<USHORT>(v);
            break;
        case VT_I4:
        case VT_INT:
            out.lVal = static_cast<LONG>(v);
            break;
        case VT_UI4:
        case VT_UINT:
            out.ulVal = static_cast<ULONG>(v);
            break;
        case VT_I8:
            out.llVal = static_cast<LONGLONG>(v);
            break;
        case VT_UI8:
            out.ullVal = static_cast<ULONGLONG>(v);
            break;
        default:
            break;
    }
}

// A numeric source: an integer, or a floating value (R4, R8, DATE).
struct Number {
    bool real = false;
    // A BOOL: its bits go into an integer as they are (VARIANT_TRUE is 255 as UI1).
    bool wraps = false;
    WideInt integer = 0;
    double value = 0;
};

Number NumberOf(const VARIANT& v) {
    Number n;
    switch (v.vt) {
        case VT_I1:
            n.integer = static_cast<signed char>(v.cVal);
            break;
        case VT_UI1:
            n.integer = v.bVal;
            break;
        case VT_I2:
            n.integer = v.iVal;
            break;
        case VT_UI2:
            n.integer = v.uiVal;
            break;
        case VT_I4:
        case VT_INT:
            n.integer = v.lVal;
            break;
        case VT_UI4:
        case VT_UINT:
            n.integer = v.ulVal;
            break;
        case VT_I8:
            n.integer = v.llVal;
            break;
        case VT_UI8:
            n.integer = v.ullVal;
            break;
        case VT_BOOL:
            n.integer = v.boolVal;
            n.wraps = true;
            break;
        case VT_R4:
            n.real = true;
            n.value = v.fltVal;
            break;
        case VT_R8:
        case VT_DATE:
            n.real = true;
            n.value = v.dblVal;
            break;
        default:
            break;  // VT_EMPTY is 0
    }
    return n;
}

bool IsValidDate(double d) { return d > -657435.0 && d < 2958466.0; }

HRESULT StoreNumber(const Number& n, VARTYPE vt, VARIANT& out) {
    IntegerType type{};
    if (IntegerTypeOf(vt, type)) {
        WideInt v = n.integer;
        if (n.real) {
            if (HRESULT hr = RoundToInteger(n.value, type, v); FAILED(hr)) return hr;
        } else if (n.wraps) {
            v = Wrap(v, type);
        } else if (!InRange(v, type)) {
            return DISP_E_OVERFLOW;
        }
        StoreInteger(v, vt, out);
        return S_OK;
    }
    const double d = n.real ? n.value : static_cast<double>(n.integer);
    switch (vt) {
        case VT_R4:
            if (std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
            out.vt = VT_R4;
            out.fltVal = static_cast<float>(d);
            return S_OK;
        case VT_R8:
            out.vt = VT_R8;
            out.dblVal = d;
            return S_OK;
        case VT_DATE:
            if (!IsValidDate(d)) return DISP_E_OVERFLOW;
            out.vt = VT_DATE;
            out.date = d;
            return S_OK;
        case VT_BOOL:
            out.vt = VT_BOOL;
            out.boolVal = (n.real ? n.value != 0 : n.integer != 0) ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT StoreText(std::u16string_view text, VARIANT& out) {
    Bstr b(text);
    if (b.IsNull()) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b.Detach();
    return S_OK;
}

HRESULT ToText(const VARIANT& v, USHORT flags, VARIANT& out) {
    switch (v.vt) {
        case VT_EMPTY:
            return StoreText(u"", out);
        case VT_BOOL:
            if (flags & VARIANT_ALPHABOOL) return StoreText(v.boolVal ? u"True" : u"False", out);
            return StoreText(v.boolVal ? u"-1" : u"0", out);
        case VT_DATE: {
            const std::string text = FormatDateText(v.date);
            if (text.empty()) return E_INVALIDARG;
            return StoreText(Utf16FromUtf8(text), out);
        }
        case VT_R4:
            return StoreText(FormatReal(v.fltVal, 7), out);
        case VT_R8:
            return StoreText(FormatReal(v.dblVal, 15), out);
        default:
            break;
    }
    IntegerType type{};
    if (!IntegerTypeOf(v.vt, type)) return DISP_E_TYPEMISMATCH;
    return StoreText(FormatInteger(NumberOf(v).integer), out);
}

bool EqualsIgnoringCase(std::u16string_view text, std::u16string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != word[i]) return false;
    }
    return true;
}

HRESULT FromText(BSTR s, VARTYPE vt, VARIANT& out) {
    const std::u16string_view text(s ? s : u"", SysStringLen(s));
    IntegerType type{};
    if (IntegerTypeOf(vt, type)) {
        WideInt v = 0;
        if (HRESULT hr = ParseInteger(text, type, v); FAILED(hr)) return hr;
        StoreInteger(v, vt, out);
        return S_OK;
    }
    if (vt == VT_DATE) {
        DATE d = 0;
        if (!ParseDateText(ToUtf8(text), d)) return DISP_E_TYPEMISMATCH;
        out.vt = VT_DATE;
        out.date = d;
        return S_OK;
    }
    if (vt == VT_BOOL) {
        std::u16string_view word = text;
        while (!word.empty() && word.front() == u' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == u' ') word.remove_suffix(1);
        if (EqualsIgnoringCase(word, u"true") || EqualsIgnoringCase(word, u"false")) {
            out.vt = VT_BOOL;
            out.boolVal = EqualsIgnoringCase(word, u"true") ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    Number n;
    n.real = true;
    if (HRESULT hr = ParseReal(text, n.value); FAILED(hr)) return hr;
    return StoreNumber(n, vt, out);
}

// An object's value: its DISPID_VALUE property.
HRESULT ValueOf(IDispatch* object, Variant& value) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                          nullptr, nullptr);
}

HRESULT ToInterface(const VARIANT& v, VARTYPE vt, VARIANT& out) {
    if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    void* p = nullptr;
    if (v.punkVal) {
        const HRESULT hr = v.punkVal->QueryInterface(iid, &p);
        if (FAILED(hr)) return hr;
    }
    out.vt = vt;
    out.byref = p;
    return S_OK;
}

// Coerces a value (already read through any reference) into out, which starts empty.
HRESULT Coerce(const VARIANT& v, USHORT flags, VARTYPE vt, Variant& out) {
    // Arrays are only copied, so any element type that a VARIANT may hold will do.
    auto handled = [](VARTYPE t) { return (t & VT_ARRAY) || IsConvertible(t); };
    if ((vt & VT_BYREF) || Classify(vt) == Holds::Invalid || !handled(vt) || !handled(v.vt))
        return DISP_E_BADVARTYPE;
    if (vt == VT_EMPTY) return S_OK;
    if (v.vt == vt) return VariantCopy(&out, &v);
    if ((vt & VT_ARRAY) || (v.vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    if (vt == VT_NULL) {
        if (v.vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
        out.vt = VT_NULL;
        return S_OK;
    }
    if (v.vt == VT_NULL || v.vt == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return ToInterface(v, vt, out);
    if (v.vt == VT_DISPATCH) {
        if ((flags & VARIANT_NOVALUEPROP) || !v.pdispVal) return DISP_E_TYPEMISMATCH;
        Variant value;
        if (FAILED(ValueOf(v.pdispVal, value))) return DISP_E_TYPEMISMATCH;
        // The value of a value is not looked for: an object that is its own value ends here.
        return VariantChangeType(&out, &value, flags | VARIANT_NOVALUEPROP, vt);
    }
    if (v.vt == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    if (vt == VT_BSTR) return ToText(v, flags, out);
    if (v.vt == VT_BSTR) return FromText(v.bstrVal, vt, out);
    return StoreNumber(NumberOf(v), vt, out);
}

}  // namespace

}  // namespace vexa

// Called by hosts, so nothing may throw. Clearing and copying use only C allocation and the
// runtime's own functions; a conversion formats and parses text, so it runs guarded.
extern "C" {

void VariantInit(VARIANTARG* pvarg) {
    if (pvarg) std::memset(pvarg, 0, sizeof *pvarg);
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    using vexa::Holds;
    if (!pvarg) return E_INVALIDARG;
    switch (vexa::Classify(pvarg->vt)) {
        case Holds::Invalid:
            return DISP_E_BADVARTYPE;
        case Holds::String:
            SysFreeString(pvarg->bstrVal);
            break;
        case Holds::Array:
            if (HRESULT hr = SafeArrayDestroy(pvarg->parray); FAILED(hr)) return hr;
            break;
        case Holds::Interface:
            // Empty first: the release may run code that looks at this VARIANT.
            if (IUnknown* p = pvarg->punkVal) {
                VariantInit(pvarg);
                p->Release();
            }
            break;
        default:
            break;
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    using vexa::Holds;
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    // The copy is made before the destination is cleared, as the source may live inside it.
    VARIANT copy;
    std::memcpy(&copy, pvargSrc, sizeof copy);
    switch (vexa::Classify(pvargSrc->vt)) {
        case Holds::Invalid:
            return DISP_E_BADVARTYPE;
        case Holds::String:
            if (pvargSrc->bstrVal) {
                copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
                if (!copy.bstrVal) return E_OUTOFMEMORY;
            }
            break;
        case Holds::Interface:
            if (pvargSrc->punkVal) pvargSrc->punkVal->AddRef();
            break;
        case Holds::Array:
            if (HRESULT hr = vexa::CopySafeArray(pvargSrc->parray, &copy.parray); FAILED(hr)) return hr;
            break;
        default:
            break;
    }
    if (HRESULT hr = VariantClear(pvargDest); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(pvargDest, &copy, sizeof copy);
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    return vexa::Guarded([&] {
        if (!pvargDest || !pvarSrc) return E_INVALIDARG;
        VARIANT value;
        if (HRESULT hr = vexa::ReadThrough(*pvarSrc, value); FAILED(hr)) return hr;
        // The result is complete before the destination changes, so a failure leaves it as it was
        // and the destination may be the source.
        vexa::Variant result;
        if (HRESULT hr = vexa::Coerce(value, wFlags, vt, result); FAILED(hr)) return hr;
        if (HRESULT hr = VariantClear(pvargDest); FAILED(hr)) return hr;
        result.MoveTo(pvargDest);
        return S_OK;
    });
}

}  // extern "C"
