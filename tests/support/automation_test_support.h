// Small helpers for tests that drive objects through their interfaces.
#pragma once

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "automation/bstr.h"
#include "automation/variant.h"
#include "contract/array_base.h"
#include "vexa/VexaComponent.h"
#include "vexa/com_ptr.h"

namespace vexa::test {

// Text of a BSTR the caller owns; frees it.
inline std::u16string Take(BSTR b) {
    Bstr owned = Bstr::Attach(b);
    return std::u16string(owned.View());
}

template <class T, class Obj>
ComPtr<T> Query(const Obj& obj, REFIID iid) {
    ComPtr<T> out;
    EXPECT_EQ(obj->QueryInterface(iid, out.OutVoid()), S_OK);
    return out;
}

// A property read through its get accessor (of the object's interface or one it derives from),
// which must succeed; a BSTR comes back as its text, freed.
template <class Object, class Interface, class Value>
auto Get(const ComPtr<Object>& object, HRESULT (STDMETHODCALLTYPE Interface::*get)(Value*)) {
    Value value{};
    EXPECT_EQ((object.Get()->*get)(&value), S_OK);
    if constexpr (std::is_same_v<Value, BSTR>)
        return Take(value);
    else
        return value;
}

// The number of items of a collection.
template <class Collection>
LONG CountOf(const ComPtr<Collection>& collection) {
    return Get(collection, &Collection::get_Count);
}

// Item `index` of a collection (counted from the current ArrayBase), through its interface T.
template <class T, class Collection>
ComPtr<T> ItemOf(const ComPtr<Collection>& collection, LONG index, REFIID iid) {
    ComPtr<IDispatch> item;
    EXPECT_EQ(collection->get_Item(index, item.Out()), S_OK) << "item " << index;
    return item ? Query<T>(item, iid) : ComPtr<T>();
}

// Every test that touches ArrayBase leaves it at 0.
class ArrayBaseTest : public ::testing::Test {
protected:
    void SetUp() override { SetArrayBase(0); }
    void TearDown() override { SetArrayBase(0); }
};

// A late-bound call: arguments in natural order (reversed into DISPPARAMS here).
struct LateCall {
    HRESULT hr = S_OK;
    Variant result;
    EXCEPINFO excep{};
    UINT argErr = 12345;
    ~LateCall() {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
};

inline void Invoke(IDispatch* obj, DISPID id, WORD flags, std::vector<Variant> args, LateCall& call,
                   bool withExcep = false, bool namedPut = false) {
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), namedPut ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), namedPut ? 1u : 0u};
    call.hr = obj->Invoke(id, IID_NULL, 0, flags, &params, &call.result, withExcep ? &call.excep : nullptr,
                          &call.argErr);
}

inline Variant I4(LONG v) {
    Variant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}
inline Variant Str(std::u16string_view s) {
    Variant r;
    r.vt = VT_BSTR;
    r.bstrVal = Bstr(s).Detach();
    return r;
}
inline Variant Date(DATE d) {
    Variant r;
    r.vt = VT_DATE;
    r.date = d;
    return r;
}
inline Variant Object(IDispatch* d) {
    Variant r;
    r.vt = VT_DISPATCH;
    r.pdispVal = d;
    if (d) d->AddRef();
    return r;
}

}  // namespace vexa::test
