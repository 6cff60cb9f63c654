#include "automation_date.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vexa_host {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;
// Exclusive bounds of the values that name a calendar time: 0100-01-01 is day -657434, and its
// times run down towards -657435; 9999-12-31 is day 2958465.
constexpr double kLowestDate = -657435.0;
constexpr double kHighestDate = 2958466.0;

// Days since 1970-01-01 of a proleptic Gregorian date, counted in 400-year eras.
constexpr int64_t DayNumber(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CalendarDay(int64_t dayNumber, CalendarTime& t) {
    dayNumber += 719468;
    const int64_t era = (dayNumber >= 0 ? dayNumber : dayNumber - 146096) / 146097;
    const int64_t dayOfEra = dayNumber - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    t.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    t.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
}

constexpr int64_t kDayZero = DayNumber(1899, 12, 30);

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool DateToCalendar(DATE date, CalendarTime& time) {
    if (!(date > kLowestDate && date < kHighestDate)) return false;
    const double whole = std::trunc(date);
    int64_t day = static_cast<int64_t>(whole);
    // The fraction counts forward on both sides of day zero.
    int64_t seconds = std::llround(std::fabs(date - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    CalendarTime t;
    CalendarDay(day + kDayZero, t);
    if (t.year < kFirstYear || t.year > kLastYear) return false;
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    time = t;
    return true;
}

bool CalendarToDate(const CalendarTime& t, DATE& date) {
    if (t.year < kFirstYear || t.year > kLastYear || t.day < 1 || t.day > DaysInMonth(t.year, t.month))
        return false;
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return false;
    const auto day = static_cast<double>(DayNumber(t.year, t.month, t.day) - kDayZero);
    const double fraction = static_cast<double>(t.hour * 3600 + t.minute * 60 + t.second) / kSecondsPerDay;
    date = day >= 0 ? day + fraction : day - fraction;
    return true;
}

std::string FormatDate(DATE date) {
    CalendarTime t;
    if (!DateToCalendar(date, t)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace vexa_host
