// The calendar of automation DATEs that the module and hosts share.
#include "vexa/calendar.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "date_parts_text.h"

namespace vexa {
namespace {

using test::DateOf;
using test::Describe;
using test::PartsOf;

TEST(CalendarTest, KnownValuesSplitIntoTheirCalendarFields) {
    const struct {
        DATE date;
        const char* parts;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.0, "1899-12-31 00:00:00"},
        {2.0, "1900-01-01 00:00:00"},
        {-1.0, "1899-12-29 00:00:00"},
        {-1.25, "1899-12-29 06:00:00"},
        {-1.75, "1899-12-29 18:00:00"},
        // The fraction of a value in (-1, 0) belongs to day 0 itself.
        {-0.5, "1899-12-30 12:00:00"},
        {0.5, "1899-12-30 12:00:00"},
        // No 29 February 1900: the calendar is the real one.
        {60.0, "1900-02-28 00:00:00"},
        {61.0, "1900-03-01 00:00:00"},
        {36526.5, "2000-01-01 12:00:00"},
        {45000.25, "2023-03-15 06:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},
        {-657434.5, "0100-01-01 12:00:00"},
        {2958465.0, "9999-12-31 00:00:00"},
        {2958465.99999, "9999-12-31 23:59:59"},
    };
    for (const auto& c : cases) EXPECT_EQ(PartsOf(c.date), c.parts) << c.date;
}

TEST(CalendarTest, PartsBecomeTheCanonicalValue) {
    const struct {
        DateParts parts;
        DATE date;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},      {{1899, 12, 30, 12, 0, 0}, 0.5},
        {{1899, 12, 29, 6, 0, 0}, -1.25},    {{1899, 12, 28, 18, 0, 0}, -2.75},
        {{1900, 1, 1, 0, 0, 0}, 2.0},        {{2000, 1, 1, 12, 0, 0}, 36526.5},
        {{100, 1, 1, 0, 0, 0}, -657434.0},   {{9999, 12, 31, 0, 0, 0}, 2958465.0},
        {{2000, 2, 29, 18, 0, 0}, 36585.75}, {{1600, 2, 29, 0, 0, 0}, -109512.0},
    };
    for (const auto& c : cases) EXPECT_EQ(DateOf(c.parts), c.date) << Describe(c.parts);
}

// Both directions: the DATE of a calendar time and back, for values written to fewer digits than
// the second needs.
TEST(CalendarTest, ConvertsBothWays) {
    const struct {
        DATE date;
        DateParts time;
    } cases[] = {
        {0.0, {1899, 12, 30, 0, 0, 0}},
        {1.0, {1899, 12, 31, 0, 0, 0}},
        {-1.0, {1899, 12, 29, 0, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0}},
        {-2.75, {1899, 12, 28, 18, 0, 0}},
        {2.5, {1900, 1, 1, 12, 0, 0}},
        {60.0, {1900, 2, 28, 0, 0, 0}},  // no 29 February 1900: day 61 is 1 March
        {61.0, {1900, 3, 1, 0, 0, 0}},
        {36526.0, {2000, 1, 1, 0, 0, 0}},
        {36585.0, {2000, 2, 29, 0, 0, 0}},
        {45356.58829861111, {2024, 3, 5, 14, 7, 9}},
        {2958465.999988426, {9999, 12, 31, 23, 59, 59}},
        {-657434.0, {100, 1, 1, 0, 0, 0}},
        {-657434.5, {100, 1, 1, 12, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        DateParts time;
        ASSERT_TRUE(DateToParts(c.date, time));
        EXPECT_EQ(time, c.time);
        DATE date = 0;
        ASSERT_TRUE(PartsToDate(c.time, date));
        EXPECT_NEAR(date, c.date, 1e-9);
    }
}

TEST(CalendarTest, ValuesOutsideTheCalendarAreRefused) {
    DateParts p{1, 2, 3, 4, 5, 6};
    for (double d : {-657435.0, -657435.5, 2958466.0, 1e10, -1e10, 1e300, -1e300, 2958465.99999999,
                     std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(DateToParts(d, p)) << d;
    }
    EXPECT_EQ(p, (DateParts{1, 2, 3, 4, 5, 6})) << "left as it was";
    // The last moments of the range are still inside; rounding up past 9999-12-31 is not.
    EXPECT_EQ(PartsOf(-657434.99), "0100-01-01 23:45:36");
    EXPECT_EQ(PartsOf(2958465.999994), "9999-12-31 23:59:59");
    EXPECT_FALSE(DateToParts(2958465.999999, p));
}

TEST(CalendarTest, InvalidFieldsAreRefused) {
    const DateParts cases[] = {
        {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}, {2000, 0, 1, 0, 0, 0},  {2000, 13, 1, 0, 0, 0},
        {2000, 1, 0, 0, 0, 0},  {2000, 1, 32, 0, 0, 0}, {2000, 4, 31, 0, 0, 0}, {1900, 2, 29, 0, 0, 0},
        {2100, 2, 29, 0, 0, 0}, {2023, 2, 29, 0, 0, 0}, {2000, 1, 1, 24, 0, 0}, {2000, 1, 1, 0, 60, 0},
        {2000, 1, 1, 0, 0, 60}, {2000, 1, 1, -1, 0, 0}, {2000, 1, 1, 0, -1, 0}, {2000, 1, 1, 0, 0, -1},
        {2024, 4, 31, 0, 0, 0}, {2024, 13, 1, 0, 0, 0}, {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0},
    };
    for (const DateParts& p : cases) {
        DATE d = 123.0;
        EXPECT_FALSE(PartsToDate(p, d)) << Describe(p);
        EXPECT_EQ(d, 123.0);
    }
    DATE d = 0;
    EXPECT_TRUE(PartsToDate({2024, 2, 29, 23, 59, 59}, d));
    EXPECT_TRUE(PartsToDate({2000, 2, 29, 0, 0, 0}, d));
}

TEST(CalendarTest, TimeIsRoundedToTheSecondWithCarry) {
    const double second = 1.0 / 86400;
    const struct {
        DATE date;
        const char* parts;
    } cases[] = {
        {36526 + 36000.4 * second, "2000-01-01 10:00:00"},
        {36526 + 36000.6 * second, "2000-01-01 10:00:01"},
        {36526 + 3599.7 * second, "2000-01-01 01:00:00"},
        {45356.0 + 1.4 / 86400, "2024-03-05 00:00:01"},
        // 23:59:59.6 is the next day.
        {36526 + 86399.6 * second, "2000-01-02 00:00:00"},
        {36585 + 86399.6 * second, "2000-03-01 00:00:00"},
        {2 + 86399.6 * second, "1900-01-02 00:00:00"},
        {1.0 - 0.4 / 86400, "1899-12-31 00:00:00"},
        // Before 1899-12-30 the carry also moves forward in the calendar.
        {-1 - 86399.6 * second, "1899-12-30 00:00:00"},
        {-1.0 - (86400 - 0.4) / 86400, "1899-12-30 00:00:00"},
        {-2 - 86399.6 * second, "1899-12-29 00:00:00"},
        {-1 - 59.7 * second, "1899-12-29 00:01:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(PartsOf(c.date), c.parts) << c.date;
}

TEST(CalendarTest, PartsRoundTripOnBothSidesOfDayZero) {
    for (int day = -1500; day <= 1500; day += 7) {
        for (int seconds : {0, 1, 59, 3600, 6 * 3600 + 1, 12 * 3600, 86399}) {
            DATE d = day >= 0 ? day + seconds / 86400.0 : day - seconds / 86400.0;
            DateParts p{};
            ASSERT_TRUE(DateToParts(d, p)) << d;
            EXPECT_EQ(p.hour * 3600 + p.minute * 60 + p.second, seconds) << d;
            EXPECT_EQ(DateOf(p), d) << Describe(p);
        }
    }
}

TEST(CalendarTest, DaysInMonth) {
    const struct {
        int year, month, days;
    } cases[] = {
        {2024, 2, 29}, {2023, 2, 28},  {1900, 2, 28}, {2000, 2, 29},
        {2024, 4, 30}, {2024, 12, 31}, {2024, 13, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << '-' << c.month;
}

TEST(CalendarTest, FormatsTheFieldsAsText) {
    const struct {
        DATE date;
        const char* text;
    } cases[] = {
        {45356.58829861111, "2024-03-05 14:07:09"},
        {-1.25, "1899-12-29 06:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},
        {std::nan(""), ""},
        {3e6, ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(FormatDate(c.date).text, c.text) << c.date;
}

}  // namespace
}  // namespace vexa
