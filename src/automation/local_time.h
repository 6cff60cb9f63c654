// Local time of the process's time zone, on the platform's zone rules, and a monotonic tick.
#pragma once

#include <cstdint>

namespace vexa {

// A civil time in the local zone (year 4 digits, month and day from 1).
struct LocalTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The local time of seconds since 1970-01-01 00:00 UTC; a leap second reads as the 59th.
bool LocalTimeOf(int64_t unixSeconds, LocalTimeParts& parts);
// The instant of a local time; false when the platform cannot convert it.
bool InstantOfLocalTime(const LocalTimeParts& parts, int64_t& unixSeconds);

// Milliseconds of a monotonic clock, truncated to 32 bits: it wraps about every 49.7 days, so
// only differences (modulo 2^32) mean anything.
uint32_t TickCount();

}  // namespace vexa
