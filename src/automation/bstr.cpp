#include "automation/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace vexa {

Bstr::Bstr(std::u16string_view s) : p_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}

Bstr::Bstr(const Bstr& o) : p_(o.p_ ? SysAllocStringLen(o.p_, o.Length()) : nullptr) {}

HRESULT CopyBstrOut(BSTR stored, BSTR* out) {
    if (!out) return S_OK;
    *out = nullptr;
    if (!stored) return S_OK;
    *out = SysAllocStringLen(stored, SysStringLen(stored));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT AssignBstr(Bstr& field, BSTR newVal) {
    if (newVal == field.Get()) return S_OK;
    Bstr copy(newVal);
    if (newVal && copy.IsNull()) return E_OUTOFMEMORY;
    field = std::move(copy);
    return S_OK;
}

}  // namespace vexa
