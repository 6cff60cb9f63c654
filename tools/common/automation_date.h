// The automation DATE as a host sees it: days since 1899-12-30 00:00, the fraction being the time
// of day. Before that day the value is negative and its fraction still counts forward from the
// start of the day (-1.25 is 1899-12-29 06:00). The component hands out DATEs of local time, so
// the calendar fields are the local clock's; nothing here looks at a time zone.
#pragma once

#include <string>

#include "vexa/automation.h"

namespace vexa_host {

struct CalendarTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// Proleptic Gregorian calendar.
int DaysInMonth(int year, int month);

// The time is rounded to the nearest second. False outside 0100-01-01 .. 9999-12-31 or for NaN.
bool DateToCalendar(DATE date, CalendarTime& time);
// False when a field is out of range, the day does not exist in its month, or the year lies
// outside 100 .. 9999.
bool CalendarToDate(const CalendarTime& time, DATE& date);

// "YYYY-MM-DD HH:MM:SS"; empty for a DATE that is not a calendar time.
std::string FormatDate(DATE date);

}  // namespace vexa_host
