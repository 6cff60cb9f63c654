// The values people type on the command line, checked and turned into what the component takes.
// Each parser throws UsageError with a sentence that names what is wrong.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "vexa/VexaComponent.h"
#include "vexa/calendar.h"

namespace vexa_cli {

// A mistake on the command line: the program stops with exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text that reaches the component must be UTF-8; `what` names it in the error.
void CheckUtf8(std::string_view text, const std::string& what);

// A message text: not empty, UTF-8.
std::string CheckMessageText(std::string text);
// The text read from standard input for "--text -", without the line break that ends it.
std::string TextFromInput(std::string input);

// Digits with single '-' between groups, optionally a leading '+': 010-1234-5678, 0212345678.
std::string ParsePhone(std::string_view text);

struct ReceiverEntry {
    std::string name;  // empty when not given
    std::string phone;
    std::string text;  // the receiver's own text; empty: the common one
    friend bool operator==(const ReceiverEntry&, const ReceiverEntry&) = default;
};
// "PHONE" or "NAME:PHONE"; the name is everything before the last ':' and may itself hold one.
ReceiverEntry ParseReceiver(std::string_view text);

struct YearMonth {
    int year = 0, month = 0;
    friend bool operator==(const YearMonth&, const YearMonth&) = default;
};
// "YYYY-MM" or "YYYYMM" (the month key that send prints), years 1 .. 9999.
YearMonth ParseMonth(std::string_view text);

struct DayRange {
    int first = 0, last = 0;
    friend bool operator==(const DayRange&, const DayRange&) = default;
};
// "A-B" or a single day "A", days that exist in the given month, A not after B.
DayRange ParseDayRange(std::string_view text, YearMonth month);

// "sms", "lms", "mms" or "all", in any letter case.
VEXA_MESSAGE_TYPE ParseMessageType(std::string_view text);
std::string_view MessageTypeName(VEXA_MESSAGE_TYPE type);

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" of the local clock, a real calendar time in the
// years 1970 .. 3000 (the span the component can reserve for).
vexa::DateParts ParseReservationTime(std::string_view text);

// The service's index of a transfer within its month: letters, digits, '-' and '_'.
std::string ParseLogIndex(std::string_view text);

// Where the legacy TCP service listens.
struct LegacyServer {
    std::string host;
    int port = 0;
    friend bool operator==(const LegacyServer&, const LegacyServer&) = default;
};
// "HOST:PORT": a host name or dotted IPv4 address (no ':', no blanks), a port 1 .. 65535.
LegacyServer ParseLegacyServer(std::string_view text);

}  // namespace vexa_cli
