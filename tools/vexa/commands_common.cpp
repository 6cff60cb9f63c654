#include <cstdio>

#include "commands.h"
#include "vexa/calendar.h"

namespace vexa_cli {

Value DateValue(DATE date) {
    if (date == 0.0) return {};
    std::string text = vexa::FormatDate(date).text;
    if (text.empty()) return {};
    return text;
}

std::string MonthText(YearMonth month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", month.year, month.month);
    return text;
}

std::string ResultWord(VEXA_RESULT result) { return result == VEXA_SUCCEEDED ? "succeeded" : "failed"; }

}  // namespace vexa_cli
