// Calendar fields as text, for tests that state dates the way people read them.
#pragma once

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "vexa/calendar.h"

namespace vexa::test {

// "YYYY-MM-DD HH:MM:SS" of any fields, out of range or not (for messages and expectations).
inline std::string Describe(const DateParts& p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buf;
}

// The calendar fields of a DATE as text, or "invalid".
inline std::string PartsOf(DATE d) {
    DateParts p{};
    return DateToParts(d, p) ? Describe(p) : "invalid";
}

// The DATE of fields that must be valid (a failure otherwise).
inline DATE DateOf(const DateParts& p) {
    DATE d = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(PartsToDate(p, d)) << Describe(p);
    return d;
}

}  // namespace vexa::test
