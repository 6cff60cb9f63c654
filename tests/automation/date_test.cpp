#include "automation/date.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "date_parts_text.h"
#include "scoped_time_zone.h"

namespace vexa {
namespace {

using test::DateOf;
using test::Describe;
using test::PartsOf;
using test::ScopedTimeZone;

TEST(DateTest, LinearTimeRunsStraightThroughDayZero) {
    const struct {
        DATE date;
        double linear;
    } cases[] = {
        {0.0, 0.0},     {0.25, 0.25},   {36526.5, 36526.5}, {-1.0, -1.0},
        {-1.25, -0.75}, {-1.75, -0.25}, {-2.5, -1.5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateToLinear(c.date), c.linear) << c.date;
        EXPECT_EQ(LinearToDate(c.linear), c.date) << c.linear;
    }
    // A span added across 1899-12-30 00:00, both ways: 1899-12-29 18:00 + 12 h = 1899-12-30 06:00.
    EXPECT_EQ(LinearToDate(DateToLinear(-1.75) + 0.5), 0.25);
    EXPECT_EQ(LinearToDate(DateToLinear(0.25) - 0.5), -1.75);
    // 1899-12-28 12:00 + 1 day = 1899-12-29 12:00.
    EXPECT_EQ(LinearToDate(DateToLinear(-2.5) + 1.0), -1.5);
    EXPECT_EQ(PartsOf(LinearToDate(DateToLinear(-2.5) + 1.0)), "1899-12-29 12:00:00");
}

TEST(DateTest, TimeTConvertsAsSeoulLocalTime) {
    ScopedTimeZone zone("Asia/Seoul");
    DATE d = 0;
    ASSERT_TRUE(DateFromTimeT(0, d));
    EXPECT_EQ(PartsOf(d), "1970-01-01 09:00:00");
    EXPECT_EQ(TimeTFromDate(d), 0);

    ASSERT_TRUE(DateFromTimeT(1719802800, d));
    EXPECT_EQ(PartsOf(d), "2024-07-01 12:00:00");
    EXPECT_EQ(TimeTFromDate(d), 1719802800);

    for (time_t t : {time_t{1}, time_t{86399}, time_t{1000000000}, time_t{1705287600}, time_t{32535183599}}) {
        ASSERT_TRUE(DateFromTimeT(t, d)) << t;
        EXPECT_EQ(TimeTFromDate(d), t);
    }
}

TEST(DateTest, TimeTFollowsDaylightSavingInNewYork) {
    ScopedTimeZone zone("America/New_York");
    const struct {
        DateParts local;
        int64_t t;
    } cases[] = {
        {{2024, 7, 1, 12, 0, 0}, 1719849600},   // EDT
        {{2024, 1, 15, 12, 0, 0}, 1705338000},  // EST
        {{2024, 3, 10, 1, 59, 59}, 1710053999},    {{1970, 1, 1, 0, 0, 0}, 18000},
        {{3000, 12, 31, 18, 59, 59}, 32535215999},
    };
    for (const auto& c : cases) {
        const DATE d = DateOf(c.local);
        EXPECT_EQ(TimeTFromDate(d), c.t) << Describe(c.local);
        DATE back = 0;
        ASSERT_TRUE(DateFromTimeT(static_cast<time_t>(c.t), back));
        EXPECT_EQ(PartsOf(back), Describe(c.local));
    }
}

TEST(DateTest, TimeTIsMinusOneOutsideItsRange) {
    for (const char* zone : {"Asia/Seoul", "America/New_York"}) {
        ScopedTimeZone tz(zone);
        SCOPED_TRACE(zone);
        const DateParts outside[] = {
            {1969, 12, 31, 23, 59, 59}, {3001, 1, 1, 0, 0, 0}, {100, 1, 1, 0, 0, 0}, {9999, 12, 31, 0, 0, 0}};
        for (const DateParts& p : outside) EXPECT_EQ(TimeTFromDate(DateOf(p)), -1) << Describe(p);
        EXPECT_EQ(TimeTFromDate(1e10), -1);
        EXPECT_EQ(TimeTFromDate(std::numeric_limits<double>::quiet_NaN()), -1);
        EXPECT_NE(TimeTFromDate(DateOf({2000, 1, 1, 0, 0, 0})), -1);
        EXPECT_NE(TimeTFromDate(DateOf({3000, 6, 1, 0, 0, 0})), -1);
    }
    // Inside the years but before the first instant a time can hold: 1970-01-01 00:00 in Seoul
    // is 1969-12-31 15:00 UTC; likewise after the last one in New York.
    {
        ScopedTimeZone tz("Asia/Seoul");
        EXPECT_EQ(TimeTFromDate(DateOf({1970, 1, 1, 8, 59, 59})), -1);
        EXPECT_EQ(TimeTFromDate(DateOf({1970, 1, 1, 9, 0, 0})), 0);
    }
    {
        ScopedTimeZone tz("America/New_York");
        EXPECT_EQ(TimeTFromDate(DateOf({3000, 12, 31, 19, 0, 0})), -1);
    }
}

TEST(DateTest, LocalTextIsTheRestForm) {
    EXPECT_EQ(FormatLocalDate(36526.5), "2000-01-01 12:00:00");
    EXPECT_EQ(FormatLocalDate(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(FormatLocalDate(1e10), "");

    const struct {
        const char* text;
        const char* parts;  // null: refused
    } cases[] = {
        {"2024-03-05 10:20:30", "2024-03-05 10:20:30"},
        {"2024-03-05 10:20", "2024-03-05 10:20:00"},
        {"2024-03-05", "2024-03-05 00:00:00"},
        {" 2024-3-5 7:05:09 ", "2024-03-05 07:05:09"},
        {"1899-12-29 06:00:00", "1899-12-29 06:00:00"},
        {"2024-13-01 00:00:00", nullptr},
        {"2024-02-30 10:00:00", nullptr},
        {"2024-03-05 24:00:00", nullptr},
        {"2024-03-05 10:20:30x", nullptr},
        {"2024-03-0510:20:30", nullptr},
        {"03/05/2024 10:20:30", nullptr},
        {"10:20:30", nullptr},
        {"24-03-05 10:20:30", nullptr},
        {"", nullptr},
        {"garbage", nullptr},
    };
    for (const auto& c : cases) {
        DATE d = 0;
        const bool ok = DateFromLocalText(c.text, d);
        EXPECT_EQ(ok, c.parts != nullptr) << c.text;
        if (ok && c.parts) {
            EXPECT_EQ(PartsOf(d), c.parts) << c.text;
        }
    }
}

TEST(DateTest, InvariantTextLeavesOutMidnightAndDayZero) {
    const struct {
        DATE date;
        const char* text;
    } cases[] = {
        {36526.5, "01/01/2000 12:00:00"},
        {36526.0, "01/01/2000"},
        {0.0, "00:00:00"},
        {0.25, "06:00:00"},
        {-0.5, "12:00:00"},
        {-1.25, "12/29/1899 06:00:00"},
        {2958465.0, "12/31/9999"},
        {1e10, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateText(c.date), c.text) << c.date;
}

TEST(DateTest, InvariantTextIsReadInEveryForm) {
    const struct {
        const char* text;
        double date;  // NaN: refused
    } cases[] = {
        {"01/01/2000 12:00:00", 36526.5},
        {"1/2/2000", 36527.0},
        {" 01/01/2000 ", 36526.0},
        {"12/29/1899 06:00:00", -1.25},
        {"2000-01-01", 36526.0},
        {"2000-01-01 12:00", 36526.5},
        {"2000-01-01 12:00:00", 36526.5},
        {"12:00:00", 0.5},
        {"6:00", 0.25},
        {"13/01/2000", NAN},
        {"02/30/2000", NAN},
        {"01/01/00", NAN},
        {"2000-01-01T12:00:00", NAN},
        {"12:60", NAN},
        {"12", NAN},
        {"abc", NAN},
        {"", NAN},
    };
    for (const auto& c : cases) {
        DATE d = 0;
        const bool ok = ParseDateText(c.text, d);
        EXPECT_EQ(ok, !std::isnan(c.date)) << c.text;
        if (ok) {
            EXPECT_EQ(d, c.date) << c.text;
        }
    }
}

TEST(DateTest, TickCountOnlyMovesForward) {
    const uint32_t first = TickCount();
    const uint32_t second = TickCount();
    // Differences are taken modulo 2^32, as the counter wraps.
    EXPECT_LT(static_cast<uint32_t>(second - first), 0x80000000u);
}

}  // namespace
}  // namespace vexa
