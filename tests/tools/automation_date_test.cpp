#include "automation_date.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace vexa_host {
namespace {

struct DateCase {
    DATE date;
    CalendarTime time;
};

// Both directions: the DATE of a calendar time and back. Negative values count their fraction
// forward from the start of their day.
const DateCase kDates[] = {
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

TEST(AutomationDate, ConvertsBothWays) {
    for (const DateCase& c : kDates) {
        SCOPED_TRACE(c.date);
        CalendarTime time;
        ASSERT_TRUE(DateToCalendar(c.date, time));
        EXPECT_EQ(time, c.time);
        DATE date = 0;
        ASSERT_TRUE(CalendarToDate(c.time, date));
        EXPECT_NEAR(date, c.date, 1e-9);
    }
}

TEST(AutomationDate, RoundsToTheNearestSecondAcrossMidnight) {
    CalendarTime time;
    // Half a second short of midnight rounds into the next day, on both sides of day zero.
    ASSERT_TRUE(DateToCalendar(1.0 - 0.4 / 86400, time));
    EXPECT_EQ(time, (CalendarTime{1899, 12, 31, 0, 0, 0}));
    ASSERT_TRUE(DateToCalendar(-1.0 - (86400 - 0.4) / 86400, time));
    EXPECT_EQ(time, (CalendarTime{1899, 12, 30, 0, 0, 0}));
    ASSERT_TRUE(DateToCalendar(45356.0 + 1.4 / 86400, time));
    EXPECT_EQ(time, (CalendarTime{2024, 3, 5, 0, 0, 1}));
}

TEST(AutomationDate, RefusesValuesOutsideTheCalendar) {
    CalendarTime time{1, 2, 3, 4, 5, 6};
    for (DATE date : {2958466.0, -657435.0, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity(), 2958465.99999999}) {
        SCOPED_TRACE(date);
        EXPECT_FALSE(DateToCalendar(date, time));
    }
    EXPECT_EQ(time, (CalendarTime{1, 2, 3, 4, 5, 6})) << "left as it was";
}

TEST(AutomationDate, RefusesCalendarTimesThatDoNotExist) {
    const CalendarTime kInvalid[] = {
        {2023, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2024, 4, 31, 0, 0, 0}, {2024, 13, 1, 0, 0, 0},
        {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},  {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0},
        {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0}, {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0},
    };
    for (const CalendarTime& t : kInvalid) {
        SCOPED_TRACE(testing::Message() << t.year << '-' << t.month << '-' << t.day << ' ' << t.hour << ':'
                                        << t.minute << ':' << t.second);
        DATE date = 7.0;
        EXPECT_FALSE(CalendarToDate(t, date));
        EXPECT_EQ(date, 7.0);
    }
    DATE date = 0;
    EXPECT_TRUE(CalendarToDate({2024, 2, 29, 23, 59, 59}, date));
    EXPECT_TRUE(CalendarToDate({2000, 2, 29, 0, 0, 0}, date));
}

TEST(AutomationDate, DaysInMonth) {
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2023, 2), 28);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2024, 4), 30);
    EXPECT_EQ(DaysInMonth(2024, 12), 31);
    EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST(AutomationDate, FormatsAsLocalText) {
    EXPECT_EQ(FormatDate(45356.58829861111), "2024-03-05 14:07:09");
    EXPECT_EQ(FormatDate(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(FormatDate(-657434.0), "0100-01-01 00:00:00");
    EXPECT_EQ(FormatDate(std::nan("")), "");
    EXPECT_EQ(FormatDate(3e6), "");
}

}  // namespace
}  // namespace vexa_host
