// How the front objects read and write the values of log requests and replies, whichever backend
// carries them.
#pragma once

#include <string>
#include <string_view>

#include "vexa/VexaComponent.h"

namespace vexa {

// The service's own calendar: a leap year is divisible by 4, not by 4000, and either by 400 or
// not by 100.
bool IsRealDay(LONG year, LONG month, LONG day);

// The checks of a log request: year 1..9999, month 1..12, days 0..31 and, when both are given,
// real days of that month; LogBy all or reservations. E_INVALIDARG otherwise.
HRESULT CheckLogRange(LONG year, LONG month, LONG startDay, LONG endDay, VEXA_LOGBY logBy);

// "%04d%02d" for a month, "%04d%02d%02d%02d" when either day is given.
std::string LogDateText(LONG year, LONG month, LONG startDay, LONG endDay);

// Decimal seconds since 1970-01-01 00:00 UTC as a local DATE; 0.0 when it cannot be converted.
DATE UnixSecondsToDate(std::string_view text);

// "yyyy-mm-dd hh:mm:ss" taken as it stands (no time-zone conversion); 0.0 when shorter than 19
// characters or not a valid date and time.
DATE TransDateFromText(std::string_view text);

VEXA_TRANS_STATUS TransStatusFromCode(std::string_view status);
// The delivery result code: 0 succeeded, 2 no such number, anything else failed.
VEXA_TRANS_RESULT TransResultFromCode(std::string_view result);

}  // namespace vexa
