// Table-driven IDispatch. Each class lists its dispinterface once, as rows that name a member,
// its dispid, its kind and the C++ member function of a dual interface that implements it; one
// engine resolves names and runs every late-bound call from those rows. Parameter types come
// from the member function's signature, so a row cannot disagree with the vtable it calls.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "automation/com_object.h"
#include "automation/type_information.h"
#include "vexa/automation.h"

namespace vexa {

enum class DispKind : WORD {
    Method = DISPATCH_METHOD,
    Get = DISPATCH_PROPERTYGET,
    Put = DISPATCH_PROPERTYPUT,
};

// Calls the member with arguments already converted to the row's types (in declaration order)
// and writes its [out, retval] value, if any, into result.
using DispThunk = HRESULT (*)(void* self, const VARIANT* args, VARIANT* result);

struct DispEntry {
    const char* name;
    DISPID id;
    DispKind kind;
    uint8_t argCount;
    const VARTYPE* argTypes;
    DispThunk call;
};

// The most arguments a member may take; Invoke converts them into a buffer of this size.
inline constexpr size_t kMaxDispatchArgs = 8;

HRESULT DispatchGetIDsOfNames(std::span<const DispEntry> members, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept;
// Every late-bound call runs here, and a member that throws is a member that failed: its
// exception becomes its HRESULT (see Guarded), never the caller's.
HRESULT DispatchInvoke(void* self, std::span<const DispEntry> members, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept;

namespace detail {

// How a parameter type travels in a VARIANT.
template <class T, class = void>
struct InArg;
template <>
struct InArg<BSTR> {
    static constexpr VARTYPE vt = VT_BSTR;
    static BSTR From(const VARIANT& v) { return v.bstrVal; }
};
template <>
struct InArg<LONG> {
    static constexpr VARTYPE vt = VT_I4;
    static LONG From(const VARIANT& v) { return v.lVal; }
};
template <>
struct InArg<DATE> {
    static constexpr VARTYPE vt = VT_DATE;
    static DATE From(const VARIANT& v) { return v.date; }
};
template <>
struct InArg<IDispatch*> {
    static constexpr VARTYPE vt = VT_DISPATCH;
    static IDispatch* From(const VARIANT& v) { return v.pdispVal; }
};
template <class E>
struct InArg<E, std::enable_if_t<std::is_enum_v<E>>> {
    static constexpr VARTYPE vt = VT_I4;
    static E From(const VARIANT& v) { return static_cast<E>(v.lVal); }
};

// How an [out, retval] value is held and then handed to the result VARIANT.
template <class T, class = void>
struct OutArg {
    static constexpr bool is = false;
};
template <>
struct OutArg<BSTR*> {
    static constexpr bool is = true;
    using Slot = BSTR;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_BSTR;
        r->bstrVal = s;
    }
};
template <>
struct OutArg<LONG*> {
    static constexpr bool is = true;
    using Slot = LONG;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_I4;
        r->lVal = s;
    }
};
template <class E>
struct OutArg<E*, std::enable_if_t<std::is_enum_v<E>>> {
    static constexpr bool is = true;
    using Slot = E;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_I4;
        r->lVal = static_cast<LONG>(s);
    }
};
template <>
struct OutArg<DATE*> {
    static constexpr bool is = true;
    using Slot = DATE;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_DATE;
        r->date = s;
    }
};
template <>
struct OutArg<IDispatch**> {
    static constexpr bool is = true;
    using Slot = IDispatch*;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_DISPATCH;
        r->pdispVal = s;
    }
};
template <>
struct OutArg<IUnknown**> {
    static constexpr bool is = true;
    using Slot = IUnknown*;
    static void Store(Slot s, VARIANT* r) {
        r->vt = VT_UNKNOWN;
        r->punkVal = s;
    }
};
// A VARIANT result is written by the member straight into the result.
template <>
struct OutArg<VARIANT*> {
    static constexpr bool is = true;
};

template <class M>
struct MemberSig;

template <class C, class... A>
struct MemberSig<HRESULT (STDMETHODCALLTYPE C::*)(A...)> {
    using Class = C;
    using Args = std::tuple<A...>;
    static constexpr size_t arity = sizeof...(A);
    static constexpr bool hasOut = [] {
        if constexpr (sizeof...(A) == 0) {
            return false;
        } else {
            return OutArg<std::tuple_element_t<sizeof...(A) - 1, Args>>::is;
        }
    }();
    static constexpr size_t inCount = arity - (hasOut ? 1 : 0);

    template <size_t... I>
    static constexpr std::array<VARTYPE, sizeof...(I)> InTypes(std::index_sequence<I...>) {
        return {InArg<std::tuple_element_t<I, Args>>::vt...};
    }
    static constexpr auto inTypes = InTypes(std::make_index_sequence<inCount>{});

    template <auto M, size_t... I>
    static HRESULT Call(C* obj, const VARIANT* args, VARIANT* result, std::index_sequence<I...>) {
        if constexpr (!hasOut) {
            (void)result;
            return (obj->*M)(InArg<std::tuple_element_t<I, Args>>::From(args[I])...);
        } else {
            using Out = std::tuple_element_t<arity - 1, Args>;
            if constexpr (std::is_same_v<Out, VARIANT*>) {
                return (obj->*M)(InArg<std::tuple_element_t<I, Args>>::From(args[I])..., result);
            } else {
                typename OutArg<Out>::Slot slot{};
                HRESULT hr = (obj->*M)(InArg<std::tuple_element_t<I, Args>>::From(args[I])..., &slot);
                OutArg<Out>::Store(slot, result);
                return hr;
            }
        }
    }
};

template <class Derived, auto M>
HRESULT Thunk(void* self, const VARIANT* args, VARIANT* result) {
    using S = MemberSig<decltype(M)>;
    auto* obj = static_cast<typename S::Class*>(static_cast<Derived*>(self));
    return S::template Call<M>(obj, args, result, std::make_index_sequence<S::inCount>{});
}

template <auto M>
inline constexpr auto kInTypes = MemberSig<decltype(M)>::inTypes;

}  // namespace detail

// Row builders for the class Derived: Members<Derived>::Get<&IFoo::get_Bar>("Bar", 1).
template <class Derived>
struct Members {
    template <auto M>
    static constexpr DispEntry Row(const char* name, DISPID id, DispKind kind) {
        using S = detail::MemberSig<decltype(M)>;
        static_assert(S::inCount <= kMaxDispatchArgs, "more arguments than Invoke can convert");
        return {name,
                id,
                kind,
                static_cast<uint8_t>(S::inCount),
                detail::kInTypes<M>.data(),
                &detail::Thunk<Derived, M>};
    }
    template <auto M>
    static constexpr DispEntry Get(const char* name, DISPID id) {
        static_assert(detail::MemberSig<decltype(M)>::hasOut, "a property get returns a value");
        return Row<M>(name, id, DispKind::Get);
    }
    template <auto M>
    static constexpr DispEntry Put(const char* name, DISPID id) {
        static_assert(detail::MemberSig<decltype(M)>::inCount == 1, "a property put takes one value");
        return Row<M>(name, id, DispKind::Put);
    }
    template <auto M>
    static constexpr DispEntry Method(const char* name, DISPID id) {
        return Row<M>(name, id, DispKind::Method);
    }
};

// An automation object: IUnknown from ComObject, IDispatch from the class's member table
// (Derived::DispatchMembers()).
template <class Derived, class... Itfs>
class AutomationObject : public ComObject<Derived, Itfs...> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = kCarriesTypeLibrary ? 1 : 0;
        return S_OK;
    }
    // The type information of what answers IDispatch: the default interface's dispinterface, or
    // the interface itself when it has none.
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** ppTInfo) noexcept override {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        using Traits = InterfaceTraits<std::tuple_element_t<0, std::tuple<Itfs...>>>;
        if constexpr (detail::HasDispinterface<std::tuple_element_t<0, std::tuple<Itfs...>>>) {
            return TypeInformation(*Traits::dispIid, ppTInfo);
        } else {
            return TypeInformation(*Traits::iid, ppTInfo);
        }
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return DispatchGetIDsOfNames(Derived::DispatchMembers(), riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept override {
        return DispatchInvoke(static_cast<Derived*>(this), Derived::DispatchMembers(), id, riid, flags,
                              params, result, excep, argErr);
    }
};

}  // namespace vexa
