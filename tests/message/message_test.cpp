// The Message object's shell: creation, the members that need no service, the factories.
#include "message/message.h"

#include <gtest/gtest.h>

#include "automation/com_object.h"
#include "automation_test_support.h"
#include "month_key_cases.h"

namespace vexa {
namespace {

using test::Get;
using test::Query;
using test::Take;

ComPtr<IMessage> NewMessage() {
    ComPtr<IMessage> m;
    EXPECT_EQ(Message::CreateInstance(nullptr, IID_IMessage, m.OutVoid()), S_OK);
    return m;
}

class MessageTest : public test::ArrayBaseTest {};

TEST_F(MessageTest, ConstantsAndRetiredMembers) {
    ComPtr<IMessage> m = NewMessage();
    LONG major = 0, minor = 0;
    EXPECT_EQ(m->get_VersionMajor(&major), S_OK);
    EXPECT_EQ(m->get_VersionMinor(&minor), S_OK);
    EXPECT_EQ(major, 4);
    EXPECT_EQ(minor, 2);

    Bstr code(u"S001");
    BSTR text = nullptr;
    EXPECT_EQ(m->put_ServiceCode(code.Get()), VEXA_E_DEPRECATED);
    EXPECT_EQ(m->get_ServiceCode(&text), VEXA_E_DEPRECATED);
    EXPECT_EQ(m->put_OfficeName(code.Get()), VEXA_E_DEPRECATED);
    EXPECT_EQ(m->get_OfficeName(&text), VEXA_E_DEPRECATED);

    IDispatch* untouched = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(m->Login(code.Get(), 4545, code.Get(), code.Get(), &untouched), VEXA_E_DEPRECATED);
    EXPECT_EQ(untouched, reinterpret_cast<IDispatch*>(0x1));

    ASSERT_EQ(m->GetErrorMessage(VEXA_E_NOTLOGINED, &text), S_OK);
    EXPECT_EQ(Take(text), u"로그인하지 않았습니다.");
}

TEST_F(MessageTest, NoLoginInformationBeforeAnyReply) {
    ComPtr<IMessage> m = NewMessage();
    IDispatch* info = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(m->get_LoginInfo(&info), VEXA_E_NOTLOGINED);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(m->get_LoginInfo(nullptr), VEXA_E_NOTLOGINED);
}

TEST_F(MessageTest, ArrayBaseIsSharedByAllObjects) {
    ComPtr<IMessage> a = NewMessage(), b = NewMessage();
    LONG base = -1;
    EXPECT_EQ(a->put_ArrayBase(2), E_INVALIDARG);
    EXPECT_EQ(a->put_ArrayBase(-1), E_INVALIDARG);
    b->get_ArrayBase(&base);
    EXPECT_EQ(base, 0);

    ComPtr<IDispatch> receiversDisp;
    ASSERT_EQ(b->CreateReceivers(receiversDisp.Out()), S_OK);
    ComPtr<IReceivers> receivers = Query<IReceivers>(receiversDisp, IID_IReceivers);
    Bstr phone(u"010");
    receivers->AddDirect(phone.Get(), nullptr, VEXA_DIRECT, 0.0);

    ASSERT_EQ(a->put_ArrayBase(1), S_OK);
    b->get_ArrayBase(&base);
    EXPECT_EQ(base, 1);
    ComPtr<IDispatch> first;
    EXPECT_EQ(receivers->get_Item(1, first.Out()), S_OK);
    EXPECT_EQ(receivers->get_Item(0, first.Out()), E_INVALIDARG);
}

TEST_F(MessageTest, FactoriesHandOutNewDispatchObjects) {
    ComPtr<IMessage> m = NewMessage();
    using Factory = HRESULT (STDMETHODCALLTYPE IMessage::*)(IDispatch**);
    struct Case {
        const char* name;
        Factory make;
        const IID* answers;
    };
    const Case cases[] = {
        {"CreateReceivers", &IMessage::CreateReceivers, &IID_IReceivers},
        {"CreateReceiver", &IMessage::CreateReceiver, &IID_IReceiver2},
        {"CreateLogLists", &IMessage::CreateLogLists, &IID_ILogLists},
        {"CreateLogList", &IMessage::CreateLogList, &IID_ILogList3},
        {"CreateContents", &IMessage::CreateContents, &IID_IContents},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(((*m).*c.make)(nullptr), E_POINTER);
        ComPtr<IDispatch> one, two;
        ASSERT_EQ(((*m).*c.make)(one.Out()), S_OK);
        ASSERT_EQ(((*m).*c.make)(two.Out()), S_OK);
        EXPECT_NE(one.Get(), two.Get());
        EXPECT_EQ(Query<IDispatch>(one, IID_IDispatch).Get(), one.Get());  // it is the dispinterface
        Query<IUnknown>(one, *c.answers);
    }

    // Lists made by Message belong to the REST backend.
    ComPtr<IDispatch> listsDisp;
    m->CreateLogLists(listsDisp.Out());
    EXPECT_EQ(Query<ILogLists>(listsDisp, IID_ILogLists)->AddDirect(2024, 3, nullptr), VEXA_E_DEPRECATED);

    ComPtr<IDispatch> receiverDisp;
    Bstr phone(u"010-0000-1111"), text(u"본문");
    ASSERT_EQ(
        m->CreateReceiverDirect(phone.Get(), text.Get(), VEXA_RESERVATION, 45000.25, receiverDisp.Out()),
        S_OK);
    ComPtr<IReceiver> r = Query<IReceiver>(receiverDisp, IID_IReceiver);
    BSTR got = nullptr;
    VEXA_SENDMODE mode{};
    DATE when = 0;
    r->get_Phone(&got);
    EXPECT_EQ(Take(got), u"010-0000-1111");
    r->get_Message(&got);
    EXPECT_EQ(Take(got), u"본문");
    r->get_SendMode(&mode);
    r->get_SendTime(&when);
    EXPECT_EQ(mode, VEXA_RESERVATION);
    EXPECT_EQ(when, 45000.25);
}

TEST_F(MessageTest, CreateLogListDirectChecksYearAndMonthFirst) {
    ComPtr<IMessage> m = NewMessage();
    Bstr index(u"12");
    for (const test::MonthKeyCase& c : test::kMonthKeyCases) {
        SCOPED_TRACE(testing::Message() << c.year << "/" << c.month);
        EXPECT_EQ(m->CreateLogListDirect(c.year, c.month, index.Get(), VEXA_MESSAGE_TYPE_LMS, nullptr),
                  c.key ? E_POINTER : E_INVALIDARG);
        ComPtr<IDispatch> made;
        ASSERT_EQ(m->CreateLogListDirect(c.year, c.month, index.Get(), VEXA_MESSAGE_TYPE_LMS, made.Out()),
                  c.key ? S_OK : E_INVALIDARG);
        if (!c.key) continue;
        ComPtr<ILogList> list = Query<ILogList>(made, IID_ILogList);
        EXPECT_EQ(Get(list, &ILogList::get_Date), c.key);
        EXPECT_EQ(Get(list, &ILogList::get_Index), u"12");
        EXPECT_EQ(Get(Query<ILogList3>(made, IID_ILogList3), &ILogList3::get_Type), VEXA_MESSAGE_TYPE_LMS);
    }
}

TEST_F(MessageTest, ObjectSafetyOffersBothOptions) {
    ComPtr<IMessage> m = NewMessage();
    ComPtr<IObjectSafety> safety = Query<IObjectSafety>(m, IID_IObjectSafety);
    DWORD supported = 0, enabled = 9;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), S_OK);
    safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IReceiver, 1, 1), E_NOINTERFACE);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IReceiver, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
}

// An outer object that aggregates Message and counts its own references.
class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

TEST_F(MessageTest, AggregationDelegatesToTheOuterObject) {
    Outer outer;
    void* p = nullptr;
    EXPECT_EQ(Message::CreateInstance(&outer, IID_IMessage, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(Message::CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);

    IMessage* m = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IMessage, reinterpret_cast<void**>(&m)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the inner object's interfaces count on the outer object
    IUnknown* identity = nullptr;
    ASSERT_EQ(m->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    LONG major = 0;
    m->get_VersionMajor(&major);
    EXPECT_EQ(major, 4);
    m->Release();
    EXPECT_EQ(outer.refs, 1u);

    const long before = ModuleLockCount();
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(ModuleLockCount(), before - 1);
}

TEST_F(MessageTest, CreationFailsWhenTheNetworkCannotStart) {
    FailSocketStartupForTesting(true);
    void* p = reinterpret_cast<void*>(0x1);
    const long before = ModuleLockCount();
    EXPECT_EQ(Message::CreateInstance(nullptr, IID_IMessage, &p), VEXA_E_SOCKINITFAIL);
    FailSocketStartupForTesting(false);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ModuleLockCount(), before);  // the refused object is gone
}

}  // namespace
}  // namespace vexa
