// An owning VARIANT.
#pragma once

#include <cstring>
#include <utility>

#include "vexa/automation.h"

namespace vexa {

class Variant : public VARIANT {
public:
    Variant() { VariantInit(this); }
    Variant(const Variant& o) : Variant() { VariantCopy(this, &o); }
    Variant(Variant&& o) noexcept : Variant() { Swap(o); }
    Variant& operator=(Variant o) noexcept {
        Swap(o);
        return *this;
    }
    ~Variant() { VariantClear(this); }

    void Swap(Variant& o) noexcept {
        VARIANT tmp;
        std::memcpy(&tmp, static_cast<VARIANT*>(this), sizeof(VARIANT));
        std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&o), sizeof(VARIANT));
        std::memcpy(static_cast<VARIANT*>(&o), &tmp, sizeof(VARIANT));
    }
    // Moves the content into a caller's VARIANT (which must hold nothing that needs freeing).
    void MoveTo(VARIANT* dest) {
        std::memcpy(dest, static_cast<VARIANT*>(this), sizeof(VARIANT));
        VariantInit(this);
    }
    void Clear() { VariantClear(this); }
};

}  // namespace vexa
