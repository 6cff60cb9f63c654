// Times as the sandbox writes and reads them. The service's calendar (month keys, day ranges,
// reservation and delivery times) is the local time of the machine (TZ), as the component's is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexa::sandbox {

struct LocalDay {
    int year = 0;
    int month = 0;
    int day = 0;
};

LocalDay LocalDayOf(int64_t unixSeconds);

// "YYYY-MM-DD HH:MM:SS" in local time; empty when the time cannot be shown.
std::string FormatLocalTime(int64_t unixSeconds);
// ISO 8601 in local time with its offset, "2026-12-11T10:15:00+09:00"; empty when the time cannot
// be shown.
std::string FormatLocalIso(int64_t unixSeconds);
// The reverse of FormatLocalTime, for times from 1970 to 3000; nullopt for anything else.
std::optional<int64_t> ParseLocalTime(std::string_view text);

// "YYYYMM".
std::string MonthKey(int year, int month);

// The HTTP Date form, e.g. "Tue, 05 Mar 2024 05:07:09 GMT".
std::string HttpDate(int64_t unixSeconds);

}  // namespace vexa::sandbox
