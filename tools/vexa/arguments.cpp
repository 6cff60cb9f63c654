#include "arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "utf8.h"

namespace vexa_cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly the digits of `text`, at least one of them, as a number.
bool ReadNumber(std::string_view text, int& value) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), IsDigit)) return false;
    value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return true;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

void CheckUtf8(std::string_view text, const std::string& what) {
    for (size_t pos = 0; pos < text.size();)
        if (NextCodePoint(text, pos) == kInvalidCodePoint) throw UsageError(what + " is not UTF-8 text");
}

std::string CheckMessageText(std::string text) {
    if (text.empty()) throw UsageError("the message text is empty");
    CheckUtf8(text, "the message text");
    return text;
}

std::string TextFromInput(std::string input) {
    if (input.ends_with('\n')) {
        input.pop_back();
        if (input.ends_with('\r')) input.pop_back();
    }
    return input;
}

std::string ParsePhone(std::string_view text) {
    constexpr size_t kFewestDigits = 3, kMostDigits = 20;
    std::string_view rest = text;
    if (rest.starts_with('+')) rest.remove_prefix(1);
    size_t digits = 0;
    bool ok = !rest.empty() && IsDigit(rest.front()) && IsDigit(rest.back());
    for (size_t i = 0; ok && i < rest.size(); ++i) {
        if (IsDigit(rest[i]))
            ++digits;
        else
            ok = rest[i] == '-' && IsDigit(rest[i + 1]);
    }
    if (!ok || digits < kFewestDigits || digits > kMostDigits)
        throw UsageError("not a phone number: " + Quoted(text) + " (digits, optionally grouped with '-')");
    return std::string(text);
}

ReceiverEntry ParseReceiver(std::string_view text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return {"", ParsePhone(text)};
    const std::string_view name = text.substr(0, colon);
    if (name.empty()) throw UsageError("empty name before ':' in " + Quoted(text));
    if (HasControl(name)) throw UsageError("control characters in the name of " + Quoted(text));
    CheckUtf8(name, "the name in " + Quoted(text));
    return {std::string(name), ParsePhone(text.substr(colon + 1))};
}

YearMonth ParseMonth(std::string_view text) {
    YearMonth m;
    const bool dashed = text.size() == 7 && text[4] == '-';
    const std::string_view monthDigits =
        dashed ? text.substr(5) : text.substr(std::min<size_t>(4, text.size()));
    if ((!dashed && text.size() != 6) || !ReadNumber(text.substr(0, 4), m.year) || monthDigits.size() != 2 ||
        !ReadNumber(monthDigits, m.month))
        throw UsageError("not a month: " + Quoted(text) + " (YYYY-MM or YYYYMM)");
    if (m.year < 1 || m.month < 1 || m.month > 12) throw UsageError("no such month: " + Quoted(text));
    return m;
}

DayRange ParseDayRange(std::string_view text, YearMonth month) {
    DayRange range;
    const size_t dash = text.find('-');
    const std::string_view first = text.substr(0, dash);
    const std::string_view last = dash == std::string_view::npos ? first : text.substr(dash + 1);
    if (first.size() > 2 || last.size() > 2 || !ReadNumber(first, range.first) ||
        !ReadNumber(last, range.last))
        throw UsageError("not a range of days: " + Quoted(text) + " (A-B, or a single day)");
    const int days = vexa::DaysInMonth(month.year, month.month);
    if (range.first < 1 || range.last > days) {
        char monthText[16];
        std::snprintf(monthText, sizeof monthText, "%04d-%02d", month.year, month.month);
        throw UsageError("days " + Quoted(text) + " do not all exist in " + monthText + " (1-" +
                         std::to_string(days) + ")");
    }
    if (range.first > range.last) throw UsageError("the first day comes after the last in " + Quoted(text));
    return range;
}

VEXA_MESSAGE_TYPE ParseMessageType(std::string_view text) {
    std::string word(text);
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    for (VEXA_MESSAGE_TYPE type :
         {VEXA_MESSAGE_TYPE_ALL, VEXA_MESSAGE_TYPE_SMS, VEXA_MESSAGE_TYPE_LMS, VEXA_MESSAGE_TYPE_MMS})
        if (word == MessageTypeName(type)) return type;
    throw UsageError("not a message type: " + Quoted(text) + " (sms, lms, mms or all)");
}

std::string_view MessageTypeName(VEXA_MESSAGE_TYPE type) {
    switch (type) {
        case VEXA_MESSAGE_TYPE_SMS:
            return "sms";
        case VEXA_MESSAGE_TYPE_LMS:
            return "lms";
        case VEXA_MESSAGE_TYPE_MMS:
            return "mms";
        case VEXA_MESSAGE_TYPE_ALL:
            return "all";
    }
    return "unknown";
}

vexa::DateParts ParseReservationTime(std::string_view text) {
    vexa::DateParts t;
    // Positions of "YYYY-MM-DD HH:MM[:SS]".
    const bool shaped = (text.size() == 16 || text.size() == 19) && text[4] == '-' && text[7] == '-' &&
                        text[10] == ' ' && text[13] == ':' && (text.size() == 16 || text[16] == ':');
    const bool read = shaped && ReadNumber(text.substr(0, 4), t.year) &&
                      ReadNumber(text.substr(5, 2), t.month) && ReadNumber(text.substr(8, 2), t.day) &&
                      ReadNumber(text.substr(11, 2), t.hour) && ReadNumber(text.substr(14, 2), t.minute) &&
                      (text.size() == 16 || ReadNumber(text.substr(17, 2), t.second));
    if (!read) throw UsageError("not a time: " + Quoted(text) + " (\"YYYY-MM-DD HH:MM\")");
    DATE unused = 0;
    if (!vexa::PartsToDate(t, unused)) throw UsageError("no such time: " + Quoted(text));
    if (t.year < 1970 || t.year > 3000)
        throw UsageError("a reservation must lie in the years 1970 to 3000: " + Quoted(text));
    return t;
}

std::string ParseLogIndex(std::string_view text) {
    // The service numbers the transfers of a month from 1; anything else cannot name one, so it is
    // refused here rather than sent to come back as a server error.
    constexpr size_t kLongest = 18;
    const bool ok = !text.empty() && text.size() <= kLongest && text.front() != '0' &&
                    std::all_of(text.begin(), text.end(), IsDigit);
    if (!ok)
        throw UsageError("not a transfer index: " + Quoted(text) + " (a number from 1, as send prints it)");
    return std::string(text);
}

LegacyServer ParseLegacyServer(std::string_view text) {
    const size_t colon = text.rfind(':');
    const std::string_view host = text.substr(0, colon), port = text.substr(colon + 1);
    if (colon == std::string_view::npos || host.empty() || port.empty())
        throw UsageError("not a legacy server: " + Quoted(text) + " (HOST:PORT)");
    // The legacy service is reached over IPv4: a colon in the host is an IPv6 address or a typo.
    if (host.find(':') != std::string_view::npos || HasControl(host) ||
        host.find(' ') != std::string_view::npos)
        throw UsageError("not a host name or IPv4 address: " + Quoted(host));
    CheckUtf8(host, "the host in " + Quoted(text));
    LegacyServer server{std::string(host), 0};
    if (port.size() > 5 || !ReadNumber(port, server.port) || server.port < 1 || server.port > 65535)
        throw UsageError("not a port: " + Quoted(port) + " (1 to 65535)");
    return server;
}

}  // namespace vexa_cli
