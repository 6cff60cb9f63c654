#include "rest/http_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <vector>

#include "automation/local_time.h"
#include "vexa/calendar.h"

namespace vexa {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A number of one to four decimal digits, or -1.
int SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 4) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

int DaysIn(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// 1 for "Jan" to 12 for "Dec", in any letter case; 0 for anything else.
int MonthNumber(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsIgnoringCase(name, kMonths[i])) return static_cast<int>(i) + 1;
    }
    return 0;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    return text;
}

bool IsToken(std::string_view text) {
    static constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kSymbols.find(c) != std::string_view::npos;
    });
}

bool IsFieldValue(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == text.npos;
}

bool IsRequestTarget(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

std::string CharsetOf(const std::string& contentType) {
    std::string lower = contentType;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    static constexpr std::string_view kKey = "charset=";
    const size_t start = lower.find(kKey);
    if (start == std::string::npos) return {};
    const size_t from = start + kKey.size();
    const size_t end = std::min(lower.find(';', from), lower.size());
    return std::string(Trim(std::string_view(contentType).substr(from, end - from)));
}

int64_t ParseLength(std::string_view text) {
    if (text.empty()) return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        if (value > (std::numeric_limits<int64_t>::max() - 9) / 10)
            return std::numeric_limits<int64_t>::max();
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<SystemTime> ParseHttpDate(std::string_view text) {
    // The three forms differ in their separators and order; their words tell them apart.
    std::vector<std::string_view> words;
    static constexpr std::string_view kSeparators = " ,-";
    for (size_t at = text.find_first_not_of(kSeparators); at != text.npos;
         at = text.find_first_not_of(kSeparators, at)) {
        const size_t end = std::min(text.find_first_of(kSeparators, at), text.size());
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    std::string_view day, month, year, time;
    if (words.size() == 6 && words[5] == "GMT") {
        day = words[1], month = words[2], year = words[3], time = words[4];
    } else if (words.size() == 5) {
        month = words[1], day = words[2], time = words[3], year = words[4];
    } else {
        return std::nullopt;
    }
    const bool weekday = std::all_of(words[0].begin(), words[0].end(),
                                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (!weekday || time.size() != 8 || time[2] != ':' || time[5] != ':' || day.size() > 2)
        return std::nullopt;
    SystemTime result;
    int y = SmallNumber(year);
    if (y >= 0 && year.size() == 2) y += y > 70 ? 1900 : 2000;  // the short year of the second form
    const int m = MonthNumber(month);
    const int d = SmallNumber(day);
    const int hour = SmallNumber(time.substr(0, 2));
    const int minute = SmallNumber(time.substr(3, 2));
    const int second = SmallNumber(time.substr(6, 2));
    if ((year.size() != 2 && year.size() != 4) || y < 1601 || y > 30827 || m == 0 || d < 1 ||
        d > DaysIn(y, m) || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    result.year = static_cast<uint16_t>(y);
    result.month = static_cast<uint16_t>(m);
    result.day = static_cast<uint16_t>(d);
    result.hour = static_cast<uint16_t>(hour);
    result.minute = static_cast<uint16_t>(minute);
    result.second = static_cast<uint16_t>(second);
    return result;
}

SystemTime LocalServerDate(std::string_view text) {
    SystemTime result;
    const std::optional<SystemTime> utc = ParseHttpDate(text);
    if (!utc) return result;
    const int64_t seconds = DaysFromCivil(utc->year, utc->month, utc->day) * 86400 + utc->hour * 3600 +
                            utc->minute * 60 + utc->second;
    LocalTimeParts local;
    // What the calendar record can hold.
    if (!LocalTimeOf(seconds, local) || local.year < 1601 || local.year > 30827) return result;
    const int64_t days = DaysFromCivil(local.year, local.month, local.day);
    result.year = static_cast<uint16_t>(local.year);
    result.month = static_cast<uint16_t>(local.month);
    result.dayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday (4)
    result.day = static_cast<uint16_t>(local.day);
    result.hour = static_cast<uint16_t>(local.hour);
    result.minute = static_cast<uint16_t>(local.minute);
    result.second = static_cast<uint16_t>(local.second);
    return result;
}

}  // namespace vexa
