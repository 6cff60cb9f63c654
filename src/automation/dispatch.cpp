#include "automation/dispatch.h"

#include <cstring>

#include "automation/guarded.h"
#include "automation/variant.h"

namespace vexa {

namespace {

// Scripting hosts send names in any letter case; member names are ASCII.
bool NameEquals(const char* name, const OLECHAR* candidate) {
    for (; *name; ++name, ++candidate) {
        OLECHAR c = *candidate;
        if (c >= u'A' && c <= u'Z') c = static_cast<OLECHAR>(c - u'A' + u'a');
        char n = *name;
        if (n >= 'A' && n <= 'Z') n = static_cast<char>(n - 'A' + 'a');
        if (c != static_cast<unsigned char>(n)) return false;
    }
    return *candidate == 0;
}

// The row of that dispid whose kind the flags ask for. A dispid the table does not list and a
// kind that dispid lacks are the same failure to the caller.
const DispEntry* FindRow(std::span<const DispEntry> members, DISPID id, WORD flags) {
    for (const DispEntry& e : members)
        if (e.id == id && (flags & static_cast<WORD>(e.kind))) return &e;
    return nullptr;
}

// A caller's argument, seen through any BYREF, converted to the row's parameter type. A missing
// object (VT_EMPTY, or a null interface) reaches the member as a null pointer.
HRESULT ConvertArgument(const VARIANT& given, VARTYPE want, Variant& out) {
    const VARIANT* src = &given;
    if (src->vt == (VT_BYREF | VT_VARIANT)) {
        if (!src->pvarVal) return DISP_E_TYPEMISMATCH;
        src = src->pvarVal;
    }
    if (want == VT_DISPATCH) {
        VARTYPE base = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
        bool byref = (src->vt & VT_BYREF) != 0;
        IUnknown* unk = nullptr;
        if (base == VT_EMPTY) {
            out.vt = VT_DISPATCH;
            out.pdispVal = nullptr;
            return S_OK;
        }
        if (base == VT_DISPATCH)
            unk = byref ? (src->ppdispVal ? *src->ppdispVal : nullptr) : src->pdispVal;
        else if (base == VT_UNKNOWN)
            unk = byref ? (src->ppunkVal ? *src->ppunkVal : nullptr) : src->punkVal;
        else
            return DISP_E_TYPEMISMATCH;
        out.vt = VT_DISPATCH;
        out.pdispVal = nullptr;
        if (!unk) return S_OK;
        if (base == VT_DISPATCH) {
            out.pdispVal = static_cast<IDispatch*>(unk);
            out.pdispVal->AddRef();
            return S_OK;
        }
        return SUCCEEDED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out.pdispVal)))
                   ? S_OK
                   : DISP_E_TYPEMISMATCH;
    }
    return VariantChangeType(&out, src, 0, want);
}

}  // namespace

HRESULT DispatchGetIDsOfNames(std::span<const DispEntry> members, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    if (names[0]) {
        for (const DispEntry& e : members) {
            if (NameEquals(e.name, names[0])) {
                ids[0] = e.id;
                break;
            }
        }
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    // Named arguments are refused by Invoke, so parameter names resolve to nothing.
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchInvoke(void* self, std::span<const DispEntry> members, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return DISP_E_BADVARTYPE;
    const DispEntry* row = FindRow(members, id, flags);
    if (!row) return DISP_E_MEMBERNOTFOUND;

    if (params->cNamedArgs > 0) {
        const bool putValue = row->kind == DispKind::Put && params->cNamedArgs == 1 &&
                              params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
        if (!putValue) return DISP_E_NONAMEDARGS;
    }
    if (params->cArgs != row->argCount) return DISP_E_BADPARAMCOUNT;
    if (params->cArgs > 0 && !params->rgvarg) return DISP_E_BADVARTYPE;

    // Arguments arrive last first.
    static_assert(sizeof(Variant) == sizeof(VARIANT), "rows index converted arguments as VARIANTs");
    std::array<Variant, kMaxDispatchArgs> args;
    // Members checks the count at compile time; a row put together by hand is refused here.
    if (row->argCount > args.size()) return DISP_E_BADPARAMCOUNT;
    for (UINT i = 0; i < row->argCount; ++i) {
        const HRESULT converted =
            ConvertArgument(params->rgvarg[row->argCount - 1 - i], row->argTypes[i], args[i]);
        // Running out of memory is no verdict on the argument's type.
        if (converted == E_OUTOFMEMORY) return converted;
        if (FAILED(converted)) {
            if (argErr) *argErr = 0;  // hosts are told 0 whichever argument it was
            return DISP_E_TYPEMISMATCH;
        }
    }

    Variant out;
    HRESULT hr = Guarded([&] { return row->call(self, args.data(), &out); });
    if (FAILED(hr)) {
        // The member sets no error information of its own: whatever the thread holds is not about
        // this failure.
        DropThreadErrorInformation();
        if (excep) {
            std::memset(excep, 0, sizeof(*excep));
            excep->scode = hr;
            return DISP_E_EXCEPTION;
        }
        return hr;
    }
    if (result) {
        VariantInit(result);
        out.MoveTo(result);
    }
    return hr;
}

}  // namespace vexa
