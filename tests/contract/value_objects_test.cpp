// Receiver and Contents: initial state, the string rules of every property, identity.
#include <gtest/gtest.h>

#include "automation/text.h"
#include "automation_test_support.h"
#include "contract/contents.h"
#include "contract/log_list.h"
#include "contract/receiver.h"
#include "picture_fixtures.h"
#include "scratch_directory.h"

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

TEST(ContentsTest, StartsEmptyAndAddsOnlyPictures) {
    ComPtr<Contents> c = Contents::Make();
    VEXA_MESSAGE_TYPE type{};
    LONG count = -1, size = -1;
    c->get_Type(&type);
    c->get_ImageCount(&count);
    c->get_ImagesSize(&size);
    EXPECT_EQ(type, VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(size, 0);

    test::ScratchDirectory dir;
    const std::string png =
        test::WriteFile(dir.Path() / "p.png", test::SolidPicture("png", 4, 4, {9, 9, 9, 255})).string();
    const std::string gif =
        test::WriteFile(dir.Path() / "p.gif", test::PaletteGif(3, 3, {0, 0, 0, 255}, {1, 1, 1, 255}, {1}))
            .string();
    LONG first = 0, second = 0, refused = 99;
    EXPECT_EQ(c->AddImageFile(Bstr(Utf16FromUtf8(png)).Get(), &first), S_OK);
    EXPECT_EQ(c->AddImageFile(Bstr(Utf16FromUtf8(gif)).Get(), &second), S_OK);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);

    // Failures write 0 and leave the list as it was.
    EXPECT_EQ(c->AddImageFile(Bstr(Utf16FromUtf8((dir.Path() / "missing.jpg").string())).Get(), &refused),
              VEXA_E_NOTADDED);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(c->AddImageFile(nullptr, nullptr), VEXA_E_NOTADDED);
    const Bstr withNul(std::u16string_view(u"p.png\0x", 7));
    EXPECT_EQ(c->AddImageFile(withNul.Get(), nullptr), VEXA_E_NOTADDED);
    refused = 99;
    EXPECT_EQ(c->AddJPEGImageStream(nullptr, &refused), VEXA_E_NOTADDED);
    EXPECT_EQ(refused, 0);

    c->get_ImageCount(&count);
    c->get_ImagesSize(&size);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(size, first + second);
    EXPECT_EQ(c->Images()[1].bytes, second);
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
