#include <ctime>

#include "automation/local_time.h"

namespace vexa {

bool LocalTimeOf(int64_t unixSeconds, LocalTimeParts& parts) {
    // localtime_r need not notice a changed TZ by itself.
    tzset();
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return false;
    parts = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             tm.tm_hour,        tm.tm_min,     tm.tm_sec > 59 ? 59 : tm.tm_sec};
    return true;
}

bool InstantOfLocalTime(const LocalTimeParts& parts, int64_t& unixSeconds) {
    struct tm tm {};
    tm.tm_year = parts.year - 1900;
    tm.tm_mon = parts.month - 1;
    tm.tm_mday = parts.day;
    tm.tm_hour = parts.hour;
    tm.tm_min = parts.minute;
    tm.tm_sec = parts.second;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1)) return false;
    unixSeconds = t;
    return true;
}

uint32_t TickCount() {
    struct timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace vexa
