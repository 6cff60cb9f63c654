// IUnknown once for every class: plain reference counting, QueryInterface driven by the class's
// interface list, optional aggregation, and the module's count of live objects.
#pragma once

#include <array>
#include <cstddef>
#include <new>
#include <span>
#include <type_traits>

#include "automation/interface_traits.h"
#include "vexa/automation.h"
#include "vexa/com_ptr.h"

namespace vexa {

// Live objects plus LockServer locks; the module may unload only when this is 0.
void ModuleLock();
void ModuleUnlock();
long ModuleLockCount();

// One row of a class's interface map: an IID and how to reach that interface from the object.
struct InterfaceEntry {
    const IID* iid;
    void* (*cast)(void* self);
};

template <class Derived, class Itf>
void* CastTo(void* self) {
    return static_cast<Itf*>(static_cast<Derived*>(self));
}

namespace detail {

template <class Itf>
concept ExtendsAnother = requires {
    typename InterfaceTraits<Itf>::Extends;
};

template <class Itf>
concept HasDispinterface = requires {
    InterfaceTraits<Itf>::dispIid;
};

template <class Itf>
constexpr size_t EntryCount() {
    using T = InterfaceTraits<Itf>;
    size_t n = HasDispinterface<Itf> ? 2 : 1;
    if constexpr (ExtendsAnother<Itf>) n += EntryCount<typename T::Extends>();
    return n;
}

template <class Derived, class Itf, size_t N>
constexpr void AppendEntries(std::array<InterfaceEntry, N>& map, size_t& at) {
    using T = InterfaceTraits<Itf>;
    map[at++] = {T::iid, &CastTo<Derived, Itf>};
    if constexpr (HasDispinterface<Itf>) map[at++] = {T::dispIid, &CastTo<Derived, Itf>};
    if constexpr (ExtendsAnother<Itf>) AppendEntries<Derived, typename T::Extends>(map, at);
}

template <class Derived, class... Itfs>
constexpr auto BuildInterfaceMap() {
    std::array<InterfaceEntry, (EntryCount<Itfs>() + ...)> map{};
    size_t at = 0;
    (AppendEntries<Derived, Itfs>(map, at), ...);
    return map;
}

template <size_t N>
constexpr bool DistinctIids(const std::array<InterfaceEntry, N>& map) {
    for (size_t i = 0; i < N; ++i)
        for (size_t j = i + 1; j < N; ++j)
            if (*map[i].iid == *map[j].iid) return false;
    return true;
}

}  // namespace detail

// The interface map of a class that implements Default and Others, from their traits: for each
// interface in the list's order its IID, then its DIID, then the interfaces it extends. The
// default interface comes first, so it is the one that answers IDispatch; only it may have a
// dispinterface.
template <class Derived, class Default, class... Others>
struct InterfaceList {
    static_assert((!detail::HasDispinterface<Others> && ...),
                  "only the default interface has a dispinterface");
    static constexpr auto map = detail::BuildInterfaceMap<Derived, Default, Others...>();
    static_assert(detail::DistinctIids(map), "two interfaces of one class share an identifier");
};

// Looks riid up in the map. The first entry is the default interface; it also answers IDispatch
// when the class is an automation object.
HRESULT QueryInterfaceFromMap(void* self, std::span<const InterfaceEntry> map, bool answersDispatch,
                              IUnknown* identity, REFIID riid, void** ppv) noexcept;

template <class Derived, class... Itfs>
class ComObject : public Itfs... {
public:
    ComObject() { ModuleLock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        return outer_ ? outer_->QueryInterface(riid, ppv) : inner_.QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return outer_ ? outer_->AddRef() : inner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        return outer_ ? outer_->Release() : inner_.Release();
    }

    // The map of the class's interface list. A class that answers for more than its list writes
    // its own, from the same traits.
    static std::span<const InterfaceEntry> Interfaces() { return InterfaceList<Derived, Itfs...>::map; }

    // The object's own identity (the non-delegating IUnknown when aggregated).
    IUnknown* Identity() { return &inner_; }

    // A new object with one reference held by the result, or null when memory runs out.
    template <class... Args>
    static ComPtr<Derived> Make(Args&&... args) {
        return ComPtr<Derived>::Attach(Adopt(new (std::nothrow) Derived(std::forward<Args>(args)...)));
    }

    // Class-factory creation: plain, or aggregated inside outer (which must ask for IUnknown).
    // The class may veto creation in FinalConstruct.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        Derived* obj = new (std::nothrow) Derived();
        if (!obj) return E_OUTOFMEMORY;
        obj->outer_ = outer;
        obj->inner_.AddRef();  // guards FinalConstruct
        HRESULT hr = obj->FinalConstruct();
        if (SUCCEEDED(hr)) hr = obj->inner_.QueryInterface(riid, ppv);
        obj->inner_.Release();
        return hr;
    }

    // Creation hook for front objects; value objects have nothing to check.
    HRESULT FinalConstruct() { return S_OK; }

protected:
    virtual ~ComObject() { ModuleUnlock(); }

private:
    static Derived* Adopt(Derived* obj) {
        if (obj) obj->inner_.AddRef();
        return obj;
    }

    // The non-delegating IUnknown: it owns the reference count.
    class Inner final : public IUnknown {
    public:
        explicit Inner(ComObject* owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
            return QueryInterfaceFromMap(static_cast<Derived*>(owner_), Derived::Interfaces(),
                                         std::is_base_of_v<IDispatch, Derived>, this, riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
        ULONG STDMETHODCALLTYPE Release() noexcept override {
            ULONG left = --refs_;
            if (left == 0) delete owner_;
            return left;
        }

    private:
        ComObject* owner_;
        ULONG refs_ = 0;
    };

    IUnknown* outer_ = nullptr;
    Inner inner_{this};
};

}  // namespace vexa
