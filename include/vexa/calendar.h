// The automation DATE and the calendar, for the component and for hosts alike (C++17, header only,
// every function usable in constant expressions).
//
// A DATE counts days since 1899-12-30 00:00, the fraction being the time of day. A date before that
// day is negative and its fraction still counts forward from the start of its day, so -1.25 is
// 1899-12-29 06:00: the value is not a point on a straight time line. Calendar fields follow the
// proleptic Gregorian calendar, years 100 to 9999. Nothing here looks at a time zone: the fields
// are whatever clock the DATE was made from (the component hands out local time).
#pragma once

#include <cstdint>

#include "vexa/automation.h"

namespace vexa {

struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

constexpr bool operator==(const DateParts& a, const DateParts& b) noexcept {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}
constexpr bool operator!=(const DateParts& a, const DateParts& b) noexcept { return !(a == b); }

constexpr bool IsLeapYear(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// 0 for a month outside 1 .. 12.
constexpr int DaysInMonth(int year, int month) noexcept {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a date (months 1 .. 12), counted in 400-year eras.
constexpr int64_t DaysFromCivil(int64_t year, int month, int day) noexcept {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

namespace calendar_detail {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;
// The open range of DATEs that name a calendar time: 0100-01-01 00:00 is -657434.0, and the day
// before it still counts as that day while its fraction grows; 9999-12-31 is 2958465.
constexpr double kLowestDate = -657435.0;
constexpr double kHighestDate = 2958466.0;
constexpr int64_t kDayZero = DaysFromCivil(1899, 12, 30);

// The year, month and day of a count of days since 1970-01-01.
constexpr void CivilFromDays(int64_t days, DateParts& parts) noexcept {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    parts.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    parts.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    parts.year = static_cast<int>(yearOfEra + era * 400 + (parts.month <= 2));
}

// Half away from zero, as llround does, for 0 <= value < 2^53. The difference to the whole part is
// exact, so the halfway case is decided on the value itself.
constexpr int64_t RoundNonNegative(double value) noexcept {
    const auto whole = static_cast<int64_t>(value);
    return value - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole;
}

}  // namespace calendar_detail

// Splits a DATE into calendar fields, the time rounded to the nearest second. False, and `parts`
// untouched, when the value lies outside 0100-01-01 .. 9999-12-31 (or is not a number).
constexpr bool DateToParts(DATE date, DateParts& parts) noexcept {
    using namespace calendar_detail;
    if (!(date > kLowestDate && date < kHighestDate)) return false;
    int64_t day = static_cast<int64_t>(date);  // towards zero
    const double fraction = date - static_cast<double>(day);
    // The fraction counts forward on both sides of day zero.
    int64_t seconds = RoundNonNegative((fraction < 0 ? -fraction : fraction) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    DateParts p;
    CivilFromDays(day + kDayZero, p);
    if (p.year > kLastYear) return false;
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    parts = p;
    return true;
}

// False, and `date` untouched, when a field is out of its range, the day does not exist in that
// month, or the year lies outside 100 .. 9999.
constexpr bool PartsToDate(const DateParts& p, DATE& date) noexcept {
    using namespace calendar_detail;
    if (p.year < kFirstYear || p.year > kLastYear || p.day < 1 || p.day > DaysInMonth(p.year, p.month))
        return false;
    if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59)
        return false;
    const auto days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) - kDayZero);
    const double time = static_cast<double>(p.hour * 3600 + p.minute * 60 + p.second) / kSecondsPerDay;
    date = days >= 0 ? days + time : days - time;
    return true;
}

// "YYYY-MM-DD HH:MM:SS" and its terminating NUL.
struct DateText {
    char text[20] = {};
};

// The text of a DATE's calendar fields; empty for a DATE outside the calendar.
constexpr DateText FormatDate(DATE date) noexcept {
    DateText out;
    DateParts p;
    if (!DateToParts(date, p)) return out;
    const struct {
        int value, width;
        char after;
    } fields[] = {{p.year, 4, '-'}, {p.month, 2, '-'},  {p.day, 2, ' '},
                  {p.hour, 2, ':'}, {p.minute, 2, ':'}, {p.second, 2, '\0'}};
    int at = 0;
    for (const auto& field : fields) {
        int value = field.value;
        for (int digit = field.width - 1; digit >= 0; --digit) {
            out.text[at + digit] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        at += field.width;
        out.text[at++] = field.after;
    }
    return out;
}

}  // namespace vexa
