#include "automation/text.h"

#include <gtest/gtest.h>
#include <string>

#include "code_page_cases.h"

namespace vexa {
namespace {

using namespace std::string_literals;
using namespace cases;

TEST(TextTest, HangulRoundTripsThroughTheLocalCodePage) {
    const std::u16string text = u"안녕하세요 ABC 똠";
    const std::string local = ToLocal(text);
    EXPECT_EQ(local, kHelloCp949 + " ABC " + kDdomCp949);
    EXPECT_EQ(Utf16FromLocal(local), text);

    const Bstr b = BstrFromLocal(local);
    ASSERT_FALSE(b.IsNull());
    EXPECT_EQ(b.View(), text);
    EXPECT_EQ(ToLocal(b.Get()), local);
}

TEST(TextTest, WhatTheLocalCodePageCannotHoldBecomesAQuestionMark) {
    for (const auto& c : kUnencodableCases) EXPECT_EQ(ToLocal(c.text), c.local);
}

TEST(TextTest, InvalidLocalBytesBecomeAQuestionMarkAndTheRestIsKept) {
    for (const auto& c : kUndecodableCases) EXPECT_EQ(Utf16FromLocal(c.local), c.text);
}

TEST(TextTest, LongTextIsConvertedWhole) {
    std::u16string text;
    for (int i = 0; i < 20000; ++i) text += (i % 3 == 0) ? u'a' : static_cast<char16_t>(u'가' + i % 100);
    const std::string local = ToLocal(text);
    EXPECT_EQ(Utf16FromLocal(local), text);
}

// Each conversion sizes its output once for the longest result it can have; these texts reach it.
TEST(TextTest, ResultsAsLongAsTheyCanBeAreWhole) {
    std::u16string hangul;
    std::string hangulLocal;
    std::string hangulUtf8;
    std::u16string emoji;
    std::string emojiUtf8;
    const std::string strayBytes(100, '\x80');
    for (int i = 0; i < 100; ++i) {
        hangul += u"안";
        hangulLocal += "\xBE\xC8";
        hangulUtf8 += "안";
        emoji += u"😀";
        emojiUtf8 += "😀";
    }
    EXPECT_EQ(ToUtf8(hangul), hangulUtf8);                           // three bytes a unit
    EXPECT_EQ(ToUtf8(emoji), emojiUtf8);                             // four bytes a pair
    EXPECT_EQ(ToLocal(hangul), hangulLocal);                         // two bytes a unit
    EXPECT_EQ(LocalToUtf8(hangulLocal + "\x81"), hangulUtf8 + "?");  // three bytes a pair, one a byte
    EXPECT_EQ(Utf8ToLocal(strayBytes), std::string(100, '?'));       // a byte a byte
    EXPECT_EQ(Utf16FromLocal(strayBytes), std::u16string(100, u'?'));
    EXPECT_EQ(Utf16FromUtf8(strayBytes), std::u16string(100, u'?'));
}

TEST(TextTest, NullBstrIsEmptyAndTheWholeBstrIsConverted) {
    EXPECT_EQ(ToLocal(static_cast<BSTR>(nullptr)), "");
    const Bstr withNul(u"a\0b"s);
    EXPECT_EQ(ToLocal(withNul.Get()), "a\0b"s);
    const Bstr empty = BstrFromLocal("");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_TRUE(empty.Empty());
}

TEST(TextTest, Utf8RoundTripsEveryPlane) {
    const std::u16string text = u"a안😀\u00e9\uFFFD";
    const std::string utf8 = "a\xEC\x95\x88\xF0\x9F\x98\x80\xC3\xA9\xEF\xBF\xBD";
    EXPECT_EQ(ToUtf8(text), utf8);
    EXPECT_EQ(Utf16FromUtf8(utf8), text);
    EXPECT_EQ(ToUtf8(u"a\xD800"
                     u"b\xDC00"),
              "a?b?");
}

TEST(TextTest, IllFormedUtf8BecomesQuestionMarks) {
    const struct {
        std::string utf8;
        std::u16string text;
    } cases[] = {
        {"\xC0\xAF", u"??"},            // overlong
        {"\xED\xA0\x80", u"???"},       // an encoded surrogate
        {"\xF4\x90\x80\x80", u"????"},  // beyond U+10FFFF
        {"\xE4\xB8"
         "a",
         u"?a"},  // cut short, then text
        {"a\x80"
         "b",
         u"a?b"},            // a stray continuation byte
        {"\xEC\x95", u"?"},  // cut short at the end
        {"\xF0\x9F\x98\x80\xFF", u"😀?"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf16FromUtf8(c.utf8), c.text);
}

TEST(TextTest, LocalAndUtf8MeetAtTheXmlBoundary) {
    EXPECT_EQ(LocalToUtf8(kHelloCp949 + "!"), "안녕하세요!");
    EXPECT_EQ(Utf8ToLocal("안녕하세요!"), kHelloCp949 + "!");
    EXPECT_EQ(Utf8ToLocal("a😀b"), "a?b");
    EXPECT_EQ(LocalToUtf8("a\x80"
                          "b"),
              "a?b");
}

TEST(TextTest, LocalAsUtf8LeavesAsciiAloneAndReusesItsBuffer) {
    std::string buffer;
    const std::string ascii = "010-1234-5678";
    EXPECT_EQ(LocalAsUtf8(ascii, buffer).data(), ascii.data());
    EXPECT_EQ(LocalAsUtf8(kHelloCp949 + kHelloCp949, buffer), "안녕하세요안녕하세요");
    // A shorter text after a longer one: nothing of the last is left over.
    EXPECT_EQ(LocalAsUtf8(kDdomCp949, buffer), "똠");
}

}  // namespace
}  // namespace vexa
