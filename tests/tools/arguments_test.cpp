#include "arguments.h"

#include <gtest/gtest.h>

namespace vexa_cli {
namespace {

TEST(ParseReceiver, TakesAPhoneWithAnOptionalName) {
    struct Case {
        const char* text;
        ReceiverEntry expected;
    };
    const Case kCases[] = {
        {"010-1234-5678", {"", "010-1234-5678"}},
        {"01012345678", {"", "01012345678"}},
        {"+82-10-1234-5678", {"", "+82-10-1234-5678"}},
        {"홍길동:010-1234-5678", {"홍길동", "010-1234-5678"}},
        {"Kim, J.:114", {"Kim, J.", "114"}},
        // The phone never holds a colon, so the name may.
        {"Team: Sales:02-000-0000", {"Team: Sales", "02-000-0000"}},
    };
    for (const Case& c : kCases) EXPECT_EQ(ParseReceiver(c.text), c.expected) << c.text;
}

TEST(ParseReceiver, RefusesWhatIsNoPhone) {
    for (const char* text :
         {"", "홍길동", "홍길동:", ":010-1234-5678", "010--1234", "-0101234", "0101234-", "010 1234 5678",
          "12", "+", "010-1234-567a", "123456789012345678901", "a\tb:0101234", "\xFF:0101234"}) {
        EXPECT_THROW(ParseReceiver(text), UsageError) << text;
    }
}

TEST(ParseMonth, TakesBothSpellings) {
    EXPECT_EQ(ParseMonth("2024-03"), (YearMonth{2024, 3}));
    EXPECT_EQ(ParseMonth("202403"), (YearMonth{2024, 3}));
    EXPECT_EQ(ParseMonth("0005-12"), (YearMonth{5, 12}));
    for (const char* text : {"", "2024-3", "2024-13", "202400", "0000-01", "2024/03", "24-03", "2024-003",
                             "20240301", "2024-0x", "+20403", "２０２４-03"}) {
        EXPECT_THROW(ParseMonth(text), UsageError) << text;
    }
}

TEST(ParseDayRange, TakesDaysOfTheMonth) {
    const YearMonth february2024{2024, 2};
    EXPECT_EQ(ParseDayRange("1-29", february2024), (DayRange{1, 29}));
    EXPECT_EQ(ParseDayRange("5", february2024), (DayRange{5, 5}));
    EXPECT_EQ(ParseDayRange("05-07", february2024), (DayRange{5, 7}));
    EXPECT_EQ(ParseDayRange("31-31", YearMonth{2024, 1}), (DayRange{31, 31}));
    for (const char* text : {"", "0-5", "1-30", "30", "7-5", "1-", "-5", "a-b", "1-2-3", "001-2", " 1-2"}) {
        EXPECT_THROW(ParseDayRange(text, february2024), UsageError) << text;
    }
    EXPECT_THROW(ParseDayRange("29", YearMonth{2023, 2}), UsageError);
}

TEST(ParseMessageType, TakesTheFourWordsInAnyCase) {
    EXPECT_EQ(ParseMessageType("sms"), VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(ParseMessageType("LMS"), VEXA_MESSAGE_TYPE_LMS);
    EXPECT_EQ(ParseMessageType("Mms"), VEXA_MESSAGE_TYPE_MMS);
    EXPECT_EQ(ParseMessageType("all"), VEXA_MESSAGE_TYPE_ALL);
    for (const char* text : {"", "xms", "1", "sms "})
        EXPECT_THROW(ParseMessageType(text), UsageError) << text;
}

TEST(ParseReservationTime, TakesARealLocalTime) {
    using vexa::DateParts;
    EXPECT_EQ(ParseReservationTime("2024-03-05 14:07"), (DateParts{2024, 3, 5, 14, 7, 0}));
    EXPECT_EQ(ParseReservationTime("2024-02-29 23:59:59"), (DateParts{2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(ParseReservationTime("1970-01-01 00:00"), (DateParts{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(ParseReservationTime("3000-12-31 23:59"), (DateParts{3000, 12, 31, 23, 59, 0}));
    for (const char* text :
         {"", "2024-03-05", "2024-03-05 14", "2024-03-05T14:07", "2024-3-5 14:07", "2023-02-29 10:00",
          "2024-03-05 24:00", "2024-03-05 14:60", "2024-03-05 14:07:60", "1969-12-31 23:59",
          "3001-01-01 00:00", "2024-03-05 14:07 ", "2024-03-05  14:07"}) {
        EXPECT_THROW(ParseReservationTime(text), UsageError) << text;
    }
}

TEST(ParseLogIndex, TakesANumberFromOne) {
    const std::string longest(18, '9');
    for (const std::string& text : {std::string("17"), std::string("1"), longest})
        EXPECT_EQ(ParseLogIndex(text), text);
    for (const std::string& text :
         {std::string(), std::string("0"), std::string("007"), std::string("abc"), std::string("A-1_b"),
          std::string("-1"), std::string("+1"), std::string("1/2"), std::string(".."), std::string("1 2"),
          std::string("1?x"), std::string("%2F"), longest + "9"})
        EXPECT_THROW(ParseLogIndex(text), UsageError) << text;
}

TEST(ParseLegacyServer, TakesAHostAndAPort) {
    struct Case {
        const char* text;
        LegacyServer expected;
    };
    const Case kCases[] = {
        {"127.0.0.1:4545", {"127.0.0.1", 4545}},
        {"legacy.example:1", {"legacy.example", 1}},
        {"localhost:65535", {"localhost", 65535}},
        {"h:00080", {"h", 80}},
    };
    for (const Case& c : kCases) EXPECT_EQ(ParseLegacyServer(c.text), c.expected) << c.text;
    for (const char* text :
         {"", ":", "host", "host:", ":4545", "host:0", "host:65536", "host:123456", "host:-1", "host:+80",
          "host:80 ", "host:8x", "::1:4545", "[::1]:4545", "my host:4545", "a\tb:4545", "\xFF:4545"}) {
        EXPECT_THROW(ParseLegacyServer(text), UsageError) << text;
    }
}

TEST(MessageText, MustBeUtf8AndNotEmpty) {
    EXPECT_EQ(CheckMessageText("안녕하세요"), "안녕하세요");
    EXPECT_THROW(CheckMessageText(""), UsageError);
    EXPECT_THROW(CheckMessageText("caf\xE9"), UsageError);  // Latin-1, not UTF-8
}

TEST(MessageText, FromInputLosesOnlyTheFinalLineBreak) {
    EXPECT_EQ(TextFromInput("hello\n"), "hello");
    EXPECT_EQ(TextFromInput("hello\r\n"), "hello");
    EXPECT_EQ(TextFromInput("two\nlines\n\n"), "two\nlines\n");
    EXPECT_EQ(TextFromInput("no break"), "no break");
    EXPECT_EQ(TextFromInput("cr\r"), "cr\r");
    EXPECT_EQ(TextFromInput("\n"), "");
}

}  // namespace
}  // namespace vexa_cli
