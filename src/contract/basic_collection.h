// CBasicCollection: the ordered list of element references behind every collection class, and
// the template that gives a collection class its Item/_NewEnum/Count/Add/Remove from it.
#pragma once

#include <array>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"
#include "vexa/automation.h"

namespace vexa {

class CBasicCollection {
public:
    // Elements must answer `element` (e.g. IID_IReceiver) to be added.
    explicit CBasicCollection(const IID& element) : element_(&element) {}

    HRESULT get_Item(LONG nIndex, IDispatch** pVal) noexcept;
    HRESULT get__NewEnum(IUnknown** pVal) noexcept;
    HRESULT get_Count(LONG* pVal) noexcept;
    HRESULT Add(IDispatch* item) noexcept;
    HRESULT Remove(LONG nIndex) noexcept;

    LONG Count() const { return static_cast<LONG>(items_.size()); }

private:
    // Position of an ArrayBase-relative index, or -1 when it is out of range.
    long PositionOf(LONG nIndex) const;

    const IID* element_;
    std::vector<Variant> items_;  // each VT_DISPATCH, holding one reference
};

// A collection class: Derived lists its rows in DispatchMembers() (CollectionRows gives the
// three shared ones).
template <class Derived, class... Itfs>
class CollectionObject : public AutomationObject<Derived, Itfs...> {
public:
    explicit CollectionObject(const IID& element) : items_(element) {}

    HRESULT STDMETHODCALLTYPE get_Item(LONG nIndex, IDispatch** pVal) noexcept {
        return items_.get_Item(nIndex, pVal);
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) noexcept { return items_.get__NewEnum(pVal); }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) noexcept { return items_.get_Count(pVal); }
    // Public on the classes whose interface has them; the component's own code fills the
    // result collections through them too.
    HRESULT STDMETHODCALLTYPE Add(IDispatch* item) noexcept { return items_.Add(item); }
    HRESULT STDMETHODCALLTYPE Remove(LONG nIndex) noexcept { return items_.Remove(nIndex); }

    LONG Count() const { return items_.Count(); }

    // Adds one of the component's own objects (by its IDispatch).
    template <class T>
    HRESULT AddObject(const ComPtr<T>& obj) noexcept {
        ComPtr<IDispatch> disp;
        if (!obj) return E_OUTOFMEMORY;
        HRESULT hr = obj->QueryInterface(IID_IDispatch, disp.OutVoid());
        return FAILED(hr) ? hr : items_.Add(disp.Get());
    }

private:
    CBasicCollection items_;
};

// A new Collection holding one new Element per record, in order, each filled by
// fill(element, record). Null when memory runs out: a result collection is whole or not at all.
template <class Collection, class Element, class Records, class Fill>
ComPtr<Collection> CollectionFrom(const Records& records, Fill&& fill) {
    ComPtr<Collection> out = Collection::Make();
    if (!out) return {};
    for (const auto& record : records) {
        ComPtr<Element> element = Element::Make();
        if (!element) return {};
        fill(*element, record);
        if (FAILED(out->AddObject(element))) return {};
    }
    return out;
}

// The rows every collection's dispinterface shares: Item (0), _NewEnum (-4), Count (1).
template <class Derived, class Itf>
constexpr std::array<DispEntry, 3> CollectionRows() {
    using M = Members<Derived>;
    return {M::template Get<&Itf::get_Item>("Item", DISPID_VALUE),
            M::template Get<&Itf::get__NewEnum>("_NewEnum", DISPID_NEWENUM),
            M::template Get<&Itf::get_Count>("Count", 1)};
}

// Joins row arrays into one table.
template <size_t A, size_t B>
constexpr std::array<DispEntry, A + B> JoinRows(const std::array<DispEntry, A>& a,
                                                const std::array<DispEntry, B>& b) {
    std::array<DispEntry, A + B> out{};
    for (size_t i = 0; i < A; ++i) out[i] = a[i];
    for (size_t i = 0; i < B; ++i) out[A + i] = b[i];
    return out;
}

}  // namespace vexa
