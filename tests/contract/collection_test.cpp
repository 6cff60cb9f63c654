// The collection rules every collection class shares, seen through Receivers and LogLists.
#include <gtest/gtest.h>

#include "automation_test_support.h"
#include "contract/log_list.h"
#include "contract/receiver.h"
#include "contract/receivers.h"

namespace vexa {
namespace {

using test::ArrayBaseTest;
using test::Query;
using test::Take;

class CollectionTest : public ArrayBaseTest {
protected:
    // A Receivers with receivers whose phones are "0", "1", ... in order.
    ComPtr<Receivers> Filled(int n) {
        ComPtr<Receivers> list = Receivers::Make();
        for (int i = 0; i < n; ++i) {
            Bstr phone(std::u16string(1, static_cast<char16_t>(u'0' + i)));
            EXPECT_EQ(list->AddDirect(phone.Get(), nullptr, VEXA_DIRECT, 0.0), S_OK);
        }
        return list;
    }
    std::u16string PhoneAt(Receivers& list, LONG index) {
        ComPtr<IDispatch> item;
        EXPECT_EQ(list.get_Item(index, item.Out()), S_OK);
        BSTR phone = nullptr;
        Query<IReceiver>(item, IID_IReceiver)->get_Phone(&phone);
        return Take(phone);
    }
};

TEST_F(CollectionTest, ItemAndRemoveFollowArrayBase) {
    struct Case {
        LONG base;
        LONG index;
        HRESULT expected;
    };
    const Case cases[] = {
        {0, -1, E_INVALIDARG}, {0, 0, S_OK}, {0, 2, S_OK}, {0, 3, E_INVALIDARG},
        {1, 0, E_INVALIDARG},  {1, 1, S_OK}, {1, 3, S_OK}, {1, 4, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "base " << c.base << " index " << c.index);
        ASSERT_EQ(SetArrayBase(c.base), S_OK);
        ComPtr<Receivers> list = Filled(3);
        ComPtr<IDispatch> item;
        EXPECT_EQ(list->get_Item(c.index, item.Out()), c.expected);
        EXPECT_EQ(static_cast<bool>(item), c.expected == S_OK);
        EXPECT_EQ(list->Remove(c.index), c.expected);
        EXPECT_EQ(list->Count(), c.expected == S_OK ? 2 : 3);
    }
}

TEST_F(CollectionTest, FirstElementIsAtArrayBaseAndRemoveClosesTheGap) {
    ComPtr<Receivers> list = Filled(3);
    EXPECT_EQ(PhoneAt(*list, 0), u"0");
    SetArrayBase(1);
    EXPECT_EQ(PhoneAt(*list, 1), u"0");  // the setting applies to collections already made
    EXPECT_EQ(list->Remove(2), S_OK);
    EXPECT_EQ(PhoneAt(*list, 2), u"2");
}

TEST_F(CollectionTest, EmptyCollectionRefusesEveryIndex) {
    for (LONG base : {0, 1}) {
        SetArrayBase(base);
        ComPtr<Receivers> list = Receivers::Make();
        IDispatch* item = reinterpret_cast<IDispatch*>(0x1);
        EXPECT_EQ(list->Remove(0), E_INVALIDARG);
        EXPECT_EQ(list->get_Item(base, &item), E_INVALIDARG);
        EXPECT_EQ(item, nullptr);
        EXPECT_EQ(list->get_Item(0, nullptr), E_POINTER);
    }
}

TEST_F(CollectionTest, AddTakesOnlyElementsOfItsKind) {
    ComPtr<Receivers> list = Receivers::Make();
    ComPtr<LogList> notAReceiver = LogList::Make();
    EXPECT_EQ(list->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(list->Add(Query<IDispatch>(notAReceiver, IID_IDispatch).Get()), E_INVALIDARG);
    EXPECT_EQ(list->Count(), 0);

    ComPtr<LogLists> logs = LogLists::Make();
    ComPtr<Receiver> receiver = Receiver::Make();
    EXPECT_EQ(logs->Add(Query<IDispatch>(receiver, IID_IDispatch).Get()), E_INVALIDARG);
    EXPECT_EQ(logs->Add(Query<IDispatch>(notAReceiver, IID_IDispatch).Get()), S_OK);
}

TEST_F(CollectionTest, SameObjectTwiceIsTwoEntriesHoldingReferences) {
    ComPtr<Receivers> list = Receivers::Make();
    ComPtr<Receiver> receiver = Receiver::Make();
    ComPtr<IDispatch> disp = Query<IDispatch>(receiver, IID_IDispatch);
    ASSERT_EQ(list->Add(disp.Get()), S_OK);
    ASSERT_EQ(list->Add(disp.Get()), S_OK);
    LONG count = 0;
    list->get_Count(&count);
    EXPECT_EQ(count, 2);
    ComPtr<IDispatch> first, second;
    list->get_Item(0, first.Out());
    list->get_Item(1, second.Out());
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(first.Get(), disp.Get());  // handed out as the element's IDispatch

    // The collection keeps the receiver alive after every other holder lets go.
    first.Reset();
    second.Reset();
    disp.Reset();
    receiver.Reset();
    EXPECT_EQ(PhoneAt(*list, 1), u"");
}

TEST_F(CollectionTest, AddDirectWithNullPhoneAddsAnEmptyPhone) {
    ComPtr<Receivers> list = Receivers::Make();
    Bstr text(u"hi");
    ASSERT_EQ(list->AddDirect(nullptr, text.Get(), VEXA_RESERVATION, 45000.5), S_OK);
    ComPtr<IDispatch> item;
    ASSERT_EQ(list->get_Item(0, item.Out()), S_OK);
    ComPtr<IReceiver> r = Query<IReceiver>(item, IID_IReceiver);
    BSTR phone = reinterpret_cast<BSTR>(0x1);
    r->get_Phone(&phone);
    EXPECT_EQ(phone, nullptr);
    VEXA_SENDMODE mode{};
    DATE when = 0;
    r->get_SendMode(&mode);
    r->get_SendTime(&when);
    EXPECT_EQ(mode, VEXA_RESERVATION);
    EXPECT_EQ(when, 45000.5);
}

TEST_F(CollectionTest, EnumeratorIsASnapshot) {
    ComPtr<Receivers> list = Filled(2);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(list->get__NewEnum(unk.Out()), S_OK);
    ComPtr<IEnumVARIANT> items = Query<IEnumVARIANT>(unk, IID_IEnumVARIANT);
    ASSERT_EQ(list->AddDirect(nullptr, nullptr, VEXA_DIRECT, 0.0), S_OK);
    ASSERT_EQ(list->Remove(0), S_OK);

    Variant got[3];
    ULONG fetched = 0;
    EXPECT_EQ(items->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) {
        ASSERT_EQ(got[i].vt, VT_DISPATCH);
        BSTR phone = nullptr;
        Query<IReceiver>(got[i].pdispVal, IID_IReceiver)->get_Phone(&phone);
        EXPECT_EQ(Take(phone), std::u16string(1, static_cast<char16_t>(u'0' + i)));
    }
    EXPECT_EQ(list->get__NewEnum(nullptr), E_POINTER);
}

}  // namespace
}  // namespace vexa
