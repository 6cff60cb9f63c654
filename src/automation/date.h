// The automation DATE inside the module: its calendar (vexa/calendar.h, shared with hosts), the
// true time line, local time and the text forms.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "automation/local_time.h"  // TickCount
#include "vexa/automation.h"
#include "vexa/calendar.h"

namespace vexa {

// The true time line (days since 1899-12-30 00:00, continuous through zero), so that a span can
// be added to any DATE: LinearToDate(DateToLinear(d) + span).
double DateToLinear(DATE date);
DATE LinearToDate(double linear);

// Seconds since 1970-01-01 00:00 UTC as local time of the process's time zone (TZ on Linux, the
// system's zone on Windows). 64 bits everywhere: the 32-bit Windows C runtime's time_t ends in 2038.
bool DateFromTimeT(int64_t t, DATE& date);
// -1 when the DATE is invalid or the local time cannot be represented: the years 1970 to 3000,
// and within them the instants 1970-01-01 00:00:00 UTC to 3000-12-31 23:59:59 UTC.
int64_t TimeTFromDate(DATE date);

// The REST side's text form "%Y-%m-%d %H:%M:%S" (a local time); a missing time or seconds read
// as zero. Invalid text or DATE gives false / an empty string.
bool DateFromLocalText(std::string_view text, DATE& date);
std::string FormatLocalDate(DATE date);

// The invariant text form of VARIANT conversions: "MM/dd/yyyy HH:mm:ss", without the time at
// midnight and without the date on day 0 (1899-12-30). Empty for an invalid DATE.
std::string FormatDateText(DATE date);
// Reads "M/d/yyyy" or "yyyy-M-d", either followed by a time "H:mm[:ss]", or a time alone (which
// lies on day 0); spaces around are ignored.
bool ParseDateText(std::string_view text, DATE& date);

}  // namespace vexa
