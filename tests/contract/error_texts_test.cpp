#include "contract/error_texts.h"

#include <gtest/gtest.h>

#include "automation_test_support.h"

namespace vexa {
namespace {

TEST(ErrorTextsTest, ComponentCodesHaveTheirOwnTextsAndOthersTheSystems) {
    struct Case {
        uint32_t code;
        std::u16string_view text;
    };
    const Case cases[] = {
        {0x8004A001, u"서버에 접속할 수 없습니다."},
        {0x8004A007, u"로그인하지 않았습니다."},
        {0x8004A00D, u"더 이상 지원되지 않는 메서드 또는 속성입니다."},
        {0x8004A000, u""},  // just outside the component's range: the system has no text
        {0x8004A00E, u""},
        {0x80004005, u"Unspecified error\r\n"},
        {0x80070057, u"The parameter is incorrect.\r\n"},
        {0x00000057, u"The parameter is incorrect.\r\n"},  // the plain system error code
        {0x00000000, u"The operation completed successfully.\r\n"},
        {0x80020005, u"Type mismatch.\r\n"},
        {0xDEADBEEF, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code);
        BSTR text = reinterpret_cast<BSTR>(0x1);
        ASSERT_EQ(GetErrorMessageText(static_cast<HRESULT>(c.code), &text), S_OK);
        EXPECT_EQ(test::Take(text), c.text);
    }
    EXPECT_EQ(GetErrorMessageText(E_FAIL, nullptr), S_OK);
}

}  // namespace
}  // namespace vexa
