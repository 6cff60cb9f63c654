// How the transfers replies' texts become the values of LogList and LogDetail objects.
#pragma once

#include <string>
#include <string_view>

#include "rest/transfers_document.h"
#include "vexa/VexaComponent.h"

namespace vexa {

// The service's own calendar: a leap year is divisible by 4, not by 4000, and either by 400 or
// not by 100.
bool IsRealDay(LONG year, LONG month, LONG day);

// "%04d%02d" for a month, "%04d%02d%02d%02d" when either day is given.
std::string LogDateText(LONG year, LONG month, LONG startDay, LONG endDay);

// Decimal seconds since 1970-01-01 00:00 UTC as a local DATE; 0.0 when it cannot be converted.
DATE UnixSecondsToDate(std::string_view text);

// "yyyy-mm-dd hh:mm:ss" taken as it stands (no time-zone conversion); 0.0 when shorter than 19
// characters or not a valid date and time.
DATE TransDateFromText(std::string_view text);

VEXA_TRANS_STATUS TransStatusFromCode(std::string_view status);
// The delivery result: a non-empty resultDetail is passed on as its number, unmapped.
VEXA_TRANS_RESULT TransResultOf(const DetailRecord& record);

// A LogList's type: the three words, anything else SMS.
VEXA_MESSAGE_TYPE LogListTypeFromName(std::string_view word);

}  // namespace vexa
