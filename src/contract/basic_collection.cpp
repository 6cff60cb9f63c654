#include "contract/basic_collection.h"

#include "automation/enum_variant.h"
#include "automation/guarded.h"
#include "contract/array_base.h"

namespace vexa {

long CBasicCollection::PositionOf(LONG nIndex) const {
    const LONG base = ArrayBase();
    if (nIndex < base || nIndex > Count() - 1 + base) return -1;
    return static_cast<long>(nIndex) - base;
}

HRESULT CBasicCollection::get_Item(LONG nIndex, IDispatch** pVal) noexcept {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    const long pos = PositionOf(nIndex);
    if (pos < 0) return E_INVALIDARG;
    IDispatch* item = items_[static_cast<size_t>(pos)].pdispVal;
    return item->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(pVal));
}

// The enumerator gets copies of the items: a snapshot.
HRESULT CBasicCollection::get__NewEnum(IUnknown** pVal) noexcept {
    return Guarded([&] { return MakeEnumerator(items_, pVal); });
}

HRESULT CBasicCollection::get_Count(LONG* pVal) noexcept {
    if (pVal) *pVal = Count();
    return S_OK;
}

HRESULT CBasicCollection::Add(IDispatch* item) noexcept {
    if (!item) return E_INVALIDARG;
    ComPtr<IUnknown> typed;
    if (FAILED(item->QueryInterface(*element_, typed.OutVoid()))) return E_INVALIDARG;
    Variant entry;
    HRESULT hr = item->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&entry.pdispVal));
    if (FAILED(hr)) return hr;
    entry.vt = VT_DISPATCH;
    return Guarded([&] {
        items_.push_back(std::move(entry));
        return S_OK;
    });
}

HRESULT CBasicCollection::Remove(LONG nIndex) noexcept {
    const long pos = PositionOf(nIndex);
    if (pos < 0) return E_INVALIDARG;
    items_.erase(items_.begin() + pos);
    return S_OK;
}

}  // namespace vexa
