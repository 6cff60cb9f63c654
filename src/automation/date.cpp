#include "automation/date.h"

#include <cmath>
#include <cstdio>

#include "automation/local_time.h"

namespace vexa {

namespace {

constexpr int kSecondsPerDay = 86400;

// A small reader over date text.
class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}

    // Reads between minDigits and maxDigits decimal digits.
    bool Number(int minDigits, int maxDigits, int& value, int* count = nullptr) {
        int n = 0;
        value = 0;
        while (n < maxDigits && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
            value = value * 10 + (s_[i_++] - '0');
            ++n;
        }
        if (count) *count = n;
        return n >= minDigits;
    }
    bool Take(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    // True when at least one space was skipped.
    bool SkipSpaces() {
        const size_t start = i_;
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
        return i_ > start;
    }
    bool AtEnd() const { return i_ == s_.size(); }
    size_t Position() const { return i_; }
    void Rewind(size_t at) { i_ = at; }

private:
    std::string_view s_;
    size_t i_ = 0;
};

enum class DateForm {
    Local,      // "yyyy-M-d" with an optional time
    Invariant,  // that, "M/d/yyyy" with an optional time, or a time alone
};

// "yyyy-M-d", or for the invariant form also "M/d/yyyy". Nothing is consumed when the text does
// not start like a date.
bool ReadDate(Cursor& c, DateForm form, DateParts& p) {
    const size_t start = c.Position();
    int first = 0;
    int digits = 0;
    if (!c.Number(1, 4, first, &digits)) return false;
    if (digits == 4 && c.Take('-')) {
        p.year = first;
        return c.Number(1, 2, p.month) && c.Take('-') && c.Number(1, 2, p.day);
    }
    if (form == DateForm::Invariant && digits <= 2 && c.Take('/')) {
        p.month = first;
        return c.Number(1, 2, p.day) && c.Take('/') && c.Number(4, 4, p.year);
    }
    c.Rewind(start);
    return false;
}

// "H:mm" or "H:mm:ss".
bool ReadTime(Cursor& c, DateParts& p) {
    p.second = 0;
    if (!c.Number(1, 2, p.hour) || !c.Take(':') || !c.Number(2, 2, p.minute)) return false;
    return !c.Take(':') || c.Number(2, 2, p.second);
}

bool ParseDate(std::string_view text, DateForm form, DATE& date) {
    Cursor c(text);
    c.SkipSpaces();
    const size_t start = c.Position();
    DateParts p{1899, 12, 30, 0, 0, 0};
    if (ReadDate(c, form, p)) {
        const bool spaced = c.SkipSpaces();
        if (!c.AtEnd() && (!spaced || !ReadTime(c, p))) return false;
    } else if (c.Position() != start || form == DateForm::Local || !ReadTime(c, p)) {
        return false;
    }
    c.SkipSpaces();
    return c.AtEnd() && PartsToDate(p, date);
}

}  // namespace

double DateToLinear(DATE date) {
    if (date >= 0) return date;
    // Day d (negative) with fraction f counts forward: d + f on the line.
    const double whole = std::trunc(date);
    return whole + (whole - date);
}

DATE LinearToDate(double linear) {
    if (linear >= 0) return linear;
    const double day = std::floor(linear);
    const double fraction = linear - day;
    // The first day before 1899-12-30 is -1, and its times are -1.x.
    return day - fraction;
}

bool DateFromTimeT(int64_t t, DATE& date) {
    LocalTimeParts local;
    if (!LocalTimeOf(t, local)) return false;
    const DateParts p{local.year, local.month, local.day, local.hour, local.minute, local.second};
    return PartsToDate(p, date);
}

int64_t TimeTFromDate(DATE date) {
    // 3000-12-31 23:59:59 UTC, the last instant a 64-bit C runtime time of this kind may hold.
    constexpr int64_t kLastTime = (DaysFromCivil(3001, 1, 1) * kSecondsPerDay) - 1;
    DateParts p{};
    if (!DateToParts(date, p) || p.year < 1970 || p.year > 3000) return -1;
    int64_t t = -1;
    if (!InstantOfLocalTime({p.year, p.month, p.day, p.hour, p.minute, p.second}, t)) return -1;
    if (t < 0 || t > kLastTime) return -1;
    return t;
}

bool DateFromLocalText(std::string_view text, DATE& date) { return ParseDate(text, DateForm::Local, date); }

std::string FormatLocalDate(DATE date) { return FormatDate(date).text; }

std::string FormatDateText(DATE date) {
    DateParts p{};
    if (!DateToParts(date, p)) return {};
    const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    char buf[32];
    if (dayZero) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    } else if (midnight) {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", p.month, p.day, p.year);
    } else {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", p.month, p.day, p.year, p.hour,
                      p.minute, p.second);
    }
    return buf;
}

bool ParseDateText(std::string_view text, DATE& date) { return ParseDate(text, DateForm::Invariant, date); }

}  // namespace vexa
