// IEnumVARIANT over a snapshot: the items are copied once, when the enumerator is made, and
// clones share that copy, so nothing the source does later changes what is yielded.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "automation/com_object.h"
#include "automation/variant.h"
#include "vexa/automation.h"

namespace vexa {

class EnumVariant final : public ComObject<EnumVariant, IEnumVARIANT> {
public:
    using Items = std::shared_ptr<const std::vector<Variant>>;

    EnumVariant(Items items, size_t position) noexcept : items_(std::move(items)), position_(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) noexcept override;

private:
    size_t Left() const { return items_->size() - position_; }

    Items items_;
    size_t position_;
};

// An enumerator over items (already the caller's own copies), as its IUnknown. Throws
// std::bad_alloc when memory runs out; the member a host called holds the catch.
HRESULT MakeEnumerator(std::vector<Variant> items, IUnknown** out);

}  // namespace vexa
