// The late-bound rules of the dispatch engine, through the value objects' dispinterfaces.
#include <gtest/gtest.h>

#include "automation_test_support.h"
#include "contract/contents.h"
#include "contract/receiver.h"
#include "contract/receivers.h"

namespace vexa {
namespace {

using test::I4;
using test::Invoke;
using test::LateCall;
using test::Query;
using test::Str;

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kMethod = DISPATCH_METHOD;

class LateBoundTest : public test::ArrayBaseTest {
protected:
    void SetUp() override {
        ArrayBaseTest::SetUp();
        receivers_ = Query<IDispatch>(Receivers::Make(), IID_IDispatch);
        receiver_ = Query<IDispatch>(Receiver::Make(), IID_IDispatch);
    }
    DISPID IdOf(IDispatch* obj, const char16_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 999;
        EXPECT_EQ(obj->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << "name";
        return id;
    }
    ComPtr<IDispatch> receivers_;
    ComPtr<IDispatch> receiver_;
};

TEST_F(LateBoundTest, NamesResolveWithoutRegardToCase) {
    EXPECT_EQ(IdOf(receiver_.Get(), u"Phone"), 1);
    EXPECT_EQ(IdOf(receiver_.Get(), u"sendTIME"), 4);
    EXPECT_EQ(IdOf(receiver_.Get(), u"NAME"), 5);
    EXPECT_EQ(IdOf(receivers_.Get(), u"_newenum"), DISPID_NEWENUM);
    EXPECT_EQ(IdOf(receivers_.Get(), u"item"), DISPID_VALUE);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Phones"), const_cast<LPOLESTR>(u"x")};
    DISPID ids[2] = {7, 7};
    EXPECT_EQ(receiver_->GetIDsOfNames(IID_NULL, unknown, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(receiver_->GetIDsOfNames(IID_IReceiver, unknown, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);

    UINT count = 9;
    EXPECT_EQ(receiver_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(LateBoundTest, PutsAndGetsCarryTypedValues) {
    LateCall put, get, mode;
    Invoke(receiver_.Get(), 1, kPut, {Str(u"010-1234-5678")}, put, false, true);
    EXPECT_EQ(put.hr, S_OK);
    Invoke(receiver_.Get(), 1, kGet | kMethod, {}, get);
    ASSERT_EQ(get.hr, S_OK);
    ASSERT_EQ(get.result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string_view(get.result.bstrVal), u"010-1234-5678");
    Invoke(receiver_.Get(), 3, kGet, {}, mode);
    EXPECT_EQ(mode.result.vt, VT_I4);
    EXPECT_EQ(mode.result.lVal, VEXA_DIRECT);

    // Arguments of other types are converted: a string for a DATE, a number for a string.
    LateCall when, phone, readWhen, readPhone;
    Invoke(receiver_.Get(), 4, kPut, {Str(u"2025-01-02 03:04:05")}, when, false, true);
    EXPECT_EQ(when.hr, S_OK);
    Invoke(receiver_.Get(), 4, kGet, {}, readWhen);
    EXPECT_EQ(readWhen.result.vt, VT_DATE);
    EXPECT_NEAR(readWhen.result.date, 45659.0 + (3 * 3600 + 4 * 60 + 5) / 86400.0, 1e-9);
    Invoke(receiver_.Get(), 1, kPut, {I4(42)}, phone);  // a put without the named argument is taken
    EXPECT_EQ(phone.hr, S_OK);
    Invoke(receiver_.Get(), 1, kGet, {}, readPhone);
    EXPECT_EQ(std::u16string_view(readPhone.result.bstrVal), u"42");
}

TEST_F(LateBoundTest, RefusalsFollowTheLateBoundRules) {
    EXPECT_EQ(receiver_->Invoke(1, IID_NULL, 0, kGet, nullptr, nullptr, nullptr, nullptr), DISP_E_BADVARTYPE);

    struct Case {
        const char* what;
        IDispatch* obj;
        DISPID id;
        WORD flags;
        std::vector<Variant> args;
        bool named;
        HRESULT expected;
    };
    Case cases[] = {
        {"unknown dispid", receiver_.Get(), 99, kGet, {}, false, DISP_E_MEMBERNOTFOUND},
        {"put of a get-only member", receivers_.Get(), 1, kPut, {I4(1)}, true, DISP_E_MEMBERNOTFOUND},
        {"method called as a get", receivers_.Get(), 2, kGet, {I4(1)}, false, DISP_E_MEMBERNOTFOUND},
        {"named argument on a method", receivers_.Get(), 3, kMethod, {I4(0)}, true, DISP_E_NONAMEDARGS},
        {"too many arguments", receiver_.Get(), 1, kGet, {I4(0)}, false, DISP_E_BADPARAMCOUNT},
        {"too few arguments",
         receivers_.Get(),
         4,
         kMethod,
         {Str(u"1"), Str(u"2")},
         false,
         DISP_E_BADPARAMCOUNT},
        {"impossible conversion", receivers_.Get(), 0, kGet, {Str(u"first")}, false, DISP_E_TYPEMISMATCH},
        {"member failure without exception block", receivers_.Get(), 0, kGet, {I4(5)}, false, E_INVALIDARG},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        LateCall call;
        Invoke(c.obj, c.id, c.flags, std::move(c.args), call, false, c.named);
        EXPECT_EQ(call.hr, c.expected);
        if (c.expected == DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(call.argErr, 0u);
        }
    }
}

TEST_F(LateBoundTest, APropertyGetAlsoAnswersACallAsAMethod) {
    LateCall count, enumerator;
    Invoke(receivers_.Get(), 1, kMethod, {}, count);
    EXPECT_EQ(count.hr, S_OK);
    EXPECT_EQ(count.result.vt, VT_I4);
    // How some script engines ask for the enumerator of a collection.
    Invoke(receivers_.Get(), DISPID_NEWENUM, kMethod, {}, enumerator);
    EXPECT_EQ(enumerator.hr, S_OK);
    EXPECT_EQ(enumerator.result.vt, VT_UNKNOWN);
}

TEST_F(LateBoundTest, MemberFailureFillsTheExceptionBlock) {
    LateCall call;
    Invoke(receivers_.Get(), 3, kMethod, {I4(0)}, call, true);  // Remove on an empty collection
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.excep.scode, E_INVALIDARG);
    EXPECT_EQ(call.result.vt, VT_EMPTY);
}

TEST_F(LateBoundTest, ObjectsTravelAsDispatchAndMissingOnesAsNull) {
    LateCall add, addEmpty, count, item, byString;
    Invoke(receivers_.Get(), 2, kMethod, {test::Object(receiver_.Get())}, add);
    EXPECT_EQ(add.hr, S_OK);
    Invoke(receivers_.Get(), 2, kMethod, {Variant()}, addEmpty);  // VT_EMPTY reaches Add as null
    EXPECT_EQ(addEmpty.hr, E_INVALIDARG);
    Invoke(receivers_.Get(), 1, kGet, {}, count);
    EXPECT_EQ(count.result.lVal, 1);
    Invoke(receivers_.Get(), DISPID_VALUE, kGet | kMethod, {I4(0)}, item);
    ASSERT_EQ(item.result.vt, VT_DISPATCH);
    EXPECT_EQ(item.result.pdispVal, receiver_.Get());
    Invoke(receivers_.Get(), DISPID_VALUE, kGet, {Str(u"0")}, byString);
    EXPECT_EQ(byString.hr, S_OK);

    // A BYREF argument is read through.
    LONG index = 0;
    Variant ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &index;
    LateCall byRef;
    Invoke(receivers_.Get(), DISPID_VALUE, kGet, {ref}, byRef);
    EXPECT_EQ(byRef.hr, S_OK);
    EXPECT_EQ(byRef.result.vt, VT_DISPATCH);

    LateCall enumerator;
    Invoke(receivers_.Get(), DISPID_NEWENUM, kGet | kMethod, {}, enumerator);
    ASSERT_EQ(enumerator.result.vt, VT_UNKNOWN);
    ComPtr<IEnumVARIANT> e = Query<IEnumVARIANT>(enumerator.result.punkVal, IID_IEnumVARIANT);
}

TEST_F(LateBoundTest, ResultMayBeOmitted) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(receivers_->Invoke(1, IID_NULL, 0, kGet, &none, nullptr, nullptr, nullptr), S_OK);
    ComPtr<IDispatch> contents = Query<IDispatch>(Contents::Make(), IID_IDispatch);
    EXPECT_EQ(contents->Invoke(3, IID_NULL, 0, kGet, &none, nullptr, nullptr, nullptr), S_OK);
    // AddJPEGImageStream is not on the dispinterface.
    EXPECT_EQ(contents->Invoke(5, IID_NULL, 0, kMethod, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace vexa
