#include "automation/safearray.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vexa {

SAFEARRAY* MakeBstrVector(std::span<const Bstr> items) {
    if (items.size() > std::numeric_limits<ULONG>::max()) return nullptr;
    SafeArrayPtr sa(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size())));
    if (!sa) return nullptr;
    auto* slots = static_cast<BSTR*>(sa->pvData);
    for (size_t i = 0; i < items.size(); ++i)
        if (FAILED(CopyBstrOut(items[i].Get(), &slots[i]))) return nullptr;
    return sa.release();
}

HRESULT BstrArrayVariant(std::span<const Bstr> items, VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    SAFEARRAY* psa = MakeBstrVector(items);
    if (!psa) return E_OUTOFMEMORY;
    out->vt = VT_ARRAY | VT_BSTR;
    out->parray = psa;
    return S_OK;
}

}  // namespace vexa
