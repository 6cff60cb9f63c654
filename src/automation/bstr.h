// BSTR ownership and the copy rules that every property accessor shares.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "vexa/automation.h"

namespace vexa {

// Owns one BSTR (null is the empty string).
class Bstr {
public:
    Bstr() = default;
    // Copies up to the first NUL; null stays null.
    explicit Bstr(const OLECHAR* s) : p_(SysAllocString(s)) {}
    explicit Bstr(std::u16string_view s);
    Bstr(const Bstr& o);
    Bstr(Bstr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Bstr& operator=(Bstr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Bstr() { SysFreeString(p_); }

    static Bstr Attach(BSTR b) {
        Bstr r;
        r.p_ = b;
        return r;
    }
    BSTR Detach() { return std::exchange(p_, nullptr); }
    BSTR Get() const { return p_; }
    BSTR* Out() {
        SysFreeString(std::exchange(p_, nullptr));
        return &p_;
    }

    bool IsNull() const { return p_ == nullptr; }
    UINT Length() const { return SysStringLen(p_); }
    bool Empty() const { return Length() == 0; }
    std::u16string_view View() const { return {p_ ? p_ : u"", Length()}; }

private:
    BSTR p_ = nullptr;
};

// A getter's copy of a stored string: the whole stored string, null stays null.
HRESULT CopyBstrOut(BSTR stored, BSTR* out);

// A put's copy: the caller's text up to its first NUL; giving the stored string itself keeps it.
HRESULT AssignBstr(Bstr& field, BSTR newVal);

}  // namespace vexa
