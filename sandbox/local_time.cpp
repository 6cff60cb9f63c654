#include "sandbox/local_time.h"

#include <cstdio>
#include <ctime>

#include "automation/date.h"

namespace vexa::sandbox {

LocalDay LocalDayOf(int64_t unixSeconds) {
    tzset();  // localtime_r need not notice a changed TZ by itself
    const time_t t = static_cast<time_t>(unixSeconds);
    tm local{};
    if (!localtime_r(&t, &local)) return {};
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string FormatLocalTime(int64_t unixSeconds) {
    DATE date = 0;
    if (!DateFromTimeT(static_cast<time_t>(unixSeconds), date)) return {};
    return FormatLocalDate(date);
}

std::string FormatLocalIso(int64_t unixSeconds) {
    tzset();
    const time_t t = static_cast<time_t>(unixSeconds);
    tm local{};
    if (!localtime_r(&t, &local)) return {};
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

std::optional<int64_t> ParseLocalTime(std::string_view text) {
    DATE date = 0;
    if (!DateFromLocalText(text, date)) return std::nullopt;
    const int64_t seconds = TimeTFromDate(date);
    if (seconds < 0) return std::nullopt;
    return seconds;
}

std::string MonthKey(int year, int month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d", year, month);
    return text;
}

std::string HttpDate(int64_t unixSeconds) {
    // Fixed names: the C library's would follow the process locale.
    static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t t = static_cast<time_t>(unixSeconds);
    tm utc{};
    if (!gmtime_r(&t, &utc)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kWeekdays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace vexa::sandbox
