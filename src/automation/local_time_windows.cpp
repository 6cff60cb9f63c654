// Local time through the system's time-zone conversion, so that it follows the zone Windows is
// set to (and its daylight-saving rules for the year in question).
#include <windows.h>

#include "automation/local_time.h"

namespace vexa {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifference = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

}  // namespace

bool LocalTimeOf(int64_t unixSeconds, LocalTimeParts& parts) {
    // FILETIME starts in 1601, as the C library's time on Linux reaches before 1970.
    if (unixSeconds < -(kEpochDifference / kTicksPerSecond) ||
        unixSeconds > (INT64_MAX - kEpochDifference) / kTicksPerSecond) {
        return false;
    }
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(unixSeconds * kTicksPerSecond + kEpochDifference);
    const FILETIME file{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&file, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return false;
    }
    parts = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

bool InstantOfLocalTime(const LocalTimeParts& parts, int64_t& unixSeconds) {
    if (parts.year < 1601 || parts.year > 30827) return false;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(parts.year);
    local.wMonth = static_cast<WORD>(parts.month);
    local.wDay = static_cast<WORD>(parts.day);
    local.wHour = static_cast<WORD>(parts.hour);
    local.wMinute = static_cast<WORD>(parts.minute);
    local.wSecond = static_cast<WORD>(parts.second);
    SYSTEMTIME utc{};
    FILETIME file{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &file)) {
        return false;
    }
    ULARGE_INTEGER ticks;
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    unixSeconds = (static_cast<int64_t>(ticks.QuadPart) - kEpochDifference) / kTicksPerSecond;
    return true;
}

uint32_t TickCount() { return GetTickCount(); }

}  // namespace vexa
