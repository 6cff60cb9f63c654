// Receiver and Contents: initial state, the string rules of every property, identity.
#include <gtest/gtest.h>

#include "automation_test_support.h"
#include "contract/contents.h"
#include "contract/log_list.h"
#include "contract/receiver.h"

namespace vexa {
namespace {

using test::Query;
using test::Take;

TEST(ReceiverTest, StartsDirectAtTimeZeroWithNullStrings) {
    ComPtr<Receiver> r = Receiver::Make();
    VEXA_SENDMODE mode{};
    DATE when = -1;
    BSTR phone = reinterpret_cast<BSTR>(0x1), name = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(r->get_SendMode(&mode), S_OK);
    EXPECT_EQ(r->get_SendTime(&when), S_OK);
    EXPECT_EQ(r->get_Phone(&phone), S_OK);
    EXPECT_EQ(r->get_Name(&name), S_OK);
    EXPECT_EQ(mode, VEXA_DIRECT);
    EXPECT_EQ(when, 0.0);
    EXPECT_EQ(phone, nullptr);
    EXPECT_EQ(name, nullptr);
    // A null out-pointer is ignored.
    EXPECT_EQ(r->get_Phone(nullptr), S_OK);
    EXPECT_EQ(r->get_SendMode(nullptr), S_OK);
}

TEST(ReceiverTest, StringPropertiesCopyInAndOut) {
    ComPtr<Receiver> r = Receiver::Make();
    const OLECHAR withNul[] = {u'0', u'1', u'0', 0, u'9', 0};
    Bstr given = Bstr(std::u16string_view(withNul, 5));  // a BSTR with an embedded NUL
    ASSERT_EQ(r->put_Phone(given.Get()), S_OK);
    BSTR first = nullptr, second = nullptr;
    r->get_Phone(&first);
    r->get_Phone(&second);
    EXPECT_NE(first, given.Get());
    EXPECT_NE(first, second);  // every get is a new copy
    EXPECT_EQ(Take(first), u"010");
    EXPECT_EQ(Take(second), u"010");

    Bstr msg(u"메시지");
    r->put_Message(msg.Get());
    BSTR copy = nullptr;
    r->get_Message(&copy);
    EXPECT_EQ(Take(copy), u"메시지");
    EXPECT_EQ(r->put_Message(nullptr), S_OK);
    r->get_Message(&copy);
    EXPECT_EQ(copy, nullptr);

    // Send mode and time are stored unchecked.
    r->put_SendMode(static_cast<VEXA_SENDMODE>(77));
    r->put_SendTime(-1.25);
    VEXA_SENDMODE mode{};
    DATE when = 0;
    r->get_SendMode(&mode);
    r->get_SendTime(&when);
    EXPECT_EQ(mode, 77);
    EXPECT_EQ(when, -1.25);
}

TEST(ReceiverTest, AnswersItsInterfacesWithOneIdentity) {
    ComPtr<Receiver> r = Receiver::Make();
    ComPtr<IDispatch> disp = Query<IDispatch>(r, IID_IDispatch);
    ComPtr<IDispatch> dispInterface = Query<IDispatch>(r, DIID_DispReceiver);
    EXPECT_EQ(disp.Get(), dispInterface.Get());
    ComPtr<IReceiver2> second = Query<IReceiver2>(disp, IID_IReceiver2);
    ComPtr<IUnknown> id1 = Query<IUnknown>(disp, IID_IUnknown);
    ComPtr<IUnknown> id2 = Query<IUnknown>(second, IID_IUnknown);
    EXPECT_EQ(id1.Get(), id2.Get());

    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(disp->QueryInterface(IID_ILogList, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(disp->QueryInterface(IID_IReceiver, nullptr), E_POINTER);
}

TEST(ContentsTest, StartsEmptyAndAddsNoPicturesYet) {
    ComPtr<Contents> c = Contents::Make();
    VEXA_MESSAGE_TYPE type{};
    LONG count = -1, size = -1;
    c->get_Type(&type);
    c->get_ImageCount(&count);
    c->get_ImagesSize(&size);
    EXPECT_EQ(type, VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(size, 0);

    LONG bytes = 99;
    Bstr path(u"/nonexistent.jpg");
    EXPECT_LT(c->AddImageFile(path.Get(), &bytes), 0);
    EXPECT_EQ(bytes, 0);
    EXPECT_LT(c->AddJPEGImageStream(nullptr, nullptr), 0);
    c->get_ImageCount(&count);
    EXPECT_EQ(count, 0);
}

TEST(ContentsTest, ImagesSizeIsTheSumOfJpegBytes) {
    ComPtr<Contents> c = Contents::Make();
    c->AppendImage({"data:image/jpeg;base64,AAAA\r\n", 3});
    c->AppendImage({"data:image/jpeg;base64,BBBB\r\n", 2999997});
    LONG count = 0, size = 0;
    c->get_ImageCount(&count);
    c->get_ImagesSize(&size);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(size, 3000000);
    EXPECT_EQ(c->Images()[0].bytes, 3);

    c->put_Type(static_cast<VEXA_MESSAGE_TYPE>(9));  // stored unchecked
    VEXA_MESSAGE_TYPE type{};
    c->get_Type(&type);
    EXPECT_EQ(type, 9);
}

}  // namespace
}  // namespace vexa
