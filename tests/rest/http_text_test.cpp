#include "rest/http_text.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace vexa {
namespace {

struct DateCase {
    std::string text;
    std::optional<std::vector<int>> utc;  // year, month, day, hour, minute, second
};

TEST(HttpText, DateInEachOfHttpsFormsAndNothingElse) {
    const std::vector<int> kNovember6{1994, 11, 6, 8, 49, 37};
    for (const DateCase& c : {
             DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", kNovember6},
             DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", kNovember6},
             DateCase{"Sun Nov  6 08:49:37 1994", kNovember6},
             DateCase{"sun, 06 NOV 1994 08:49:37 GMT", kNovember6},
             DateCase{"Wednesday, 15-Mar-23 04:30:00 GMT", std::vector{2023, 3, 15, 4, 30, 0}},
             DateCase{"Thu, 29 Feb 2024 23:59:59 GMT", std::vector{2024, 2, 29, 23, 59, 59}},
             DateCase{"", std::nullopt},
             DateCase{"yesterday-ish", std::nullopt},
             DateCase{"Sun, 06 Nov 1994", std::nullopt},
             DateCase{"Sun, 06 Nov 1994 08:49:37 +0900", std::nullopt},
             DateCase{"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
             DateCase{"Sun, 99 Nov 1994 08:49:37 GMT", std::nullopt},
             DateCase{"Wed, 29 Feb 2023 00:00:00 GMT", std::nullopt},
             DateCase{"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
             DateCase{"Sun, 06 Nov 1994 8:49:37 GMT", std::nullopt},
             DateCase{"Sun, 06 Nov 199 08:49:37 GMT", std::nullopt},
             DateCase{"Sun, 06 Nov 1500 08:49:37 GMT", std::nullopt},
         }) {
        const std::optional<SystemTime> got = ParseHttpDate(c.text);
        ASSERT_EQ(got.has_value(), c.utc.has_value()) << c.text;
        if (!got) continue;
        EXPECT_EQ((std::vector<int>{got->year, got->month, got->day, got->hour, got->minute, got->second}),
                  *c.utc)
            << c.text;
    }
}

TEST(HttpText, RequestTargetHasNoSpaceOrControlCharacter) {
    for (const char* path : {"/messages/abc", "/transfers/a%20b/../z", "/caf\xc3\xa9", ""}) {
        EXPECT_TRUE(IsRequestTarget(path)) << path;
    }
    for (const char* path : {"/a b", "/a\tb", "/a\r\nX: y", "/a\x7f"}) {
        EXPECT_FALSE(IsRequestTarget(path)) << path;
    }
}

}  // namespace
}  // namespace vexa
