// An owning reference to anything with AddRef/Release: a convenience for C++ hosts, and what
// the component itself uses for its interfaces and objects.
#pragma once

#include <utility>

#include "vexa/automation.h"

namespace vexa {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    ComPtr(ComPtr<U>&& o) noexcept : p_(o.Detach()) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    // Adopts a reference that the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out-parameters: releases what is held and exposes the slot.
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

    // QueryInterface into another smart pointer; null source gives E_POINTER.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.OutVoid());
    }

private:
    template <class U>
    friend class ComPtr;
    T* p_ = nullptr;
};

// QueryInterface on a possibly null interface pointer.
template <class U>
HRESULT QueryAs(IUnknown* p, REFIID iid, ComPtr<U>& out) {
    out.Reset();
    if (!p) return E_POINTER;
    return p->QueryInterface(iid, out.OutVoid());
}

}  // namespace vexa
