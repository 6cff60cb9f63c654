// The year and month a host gives for a log entry, and the month key the entry then holds: the
// same rule wherever an entry is made directly.
#pragma once

#include "vexa/automation.h"

namespace vexa::test {

struct MonthKeyCase {
    LONG year, month;
    const char16_t* key;  // null: refused with E_INVALIDARG
};

inline constexpr MonthKeyCase kMonthKeyCases[] = {
    {2024, 3, u"202403"}, {5, 3, u"000503"},   {9999, 12, u"999912"}, {0, 3, nullptr},
    {10000, 1, nullptr},  {10000, 3, nullptr}, {2024, 13, nullptr},   {2024, 0, nullptr},
};

}  // namespace vexa::test
