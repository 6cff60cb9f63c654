#include <cstdio>
#include <ctime>

#include "commands.h"
#include "vexa/calendar.h"

namespace vexa_cli {

Value DateValue(DATE date) {
    if (date == 0.0) return {};
    std::string text = vexa::FormatDate(date).text;
    if (text.empty()) return {};
    return text;
}

DATE NowDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DATE date = 0.0;
    vexa::PartsToDate(
        {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec},
        date);
    return date;
}

std::string MonthText(YearMonth month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", month.year, month.month);
    return text;
}

std::string ResultWord(VEXA_RESULT result) { return result == VEXA_SUCCEEDED ? "succeeded" : "failed"; }

}  // namespace vexa_cli
