#include "automation/enum_variant.h"

#include <algorithm>

namespace vexa {

HRESULT EnumVariant::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept {
    if (pCeltFetched) *pCeltFetched = 0;
    if (!rgVar) return E_POINTER;
    // Without a count the caller could not tell how many of several slots were filled.
    if (!pCeltFetched && celt != 1) return E_POINTER;
    const size_t n = std::min<size_t>(celt, Left());
    for (size_t i = 0; i < n; ++i) {
        VariantInit(&rgVar[i]);
        const HRESULT hr = VariantCopy(&rgVar[i], &(*items_)[position_ + i]);
        if (FAILED(hr)) {
            for (size_t j = 0; j <= i; ++j) VariantClear(&rgVar[j]);
            return hr;
        }
    }
    position_ += n;
    if (pCeltFetched) *pCeltFetched = static_cast<ULONG>(n);
    return n == celt ? S_OK : S_FALSE;
}

HRESULT EnumVariant::Skip(ULONG celt) noexcept {
    const size_t n = std::min<size_t>(celt, Left());
    position_ += n;
    return n == celt ? S_OK : S_FALSE;
}

HRESULT EnumVariant::Reset() noexcept {
    position_ = 0;
    return S_OK;
}

HRESULT EnumVariant::Clone(IEnumVARIANT** ppEnum) noexcept {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    ComPtr<EnumVariant> clone = Make(items_, position_);
    if (!clone) return E_OUTOFMEMORY;
    *ppEnum = clone.Detach();
    return S_OK;
}

HRESULT MakeEnumerator(std::vector<Variant> items, IUnknown** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<EnumVariant> e =
        EnumVariant::Make(std::make_shared<const std::vector<Variant>>(std::move(items)), 0);
    if (!e) return E_OUTOFMEMORY;
    return e->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

}  // namespace vexa
