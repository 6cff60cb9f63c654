#include "contract/log_values.h"

#include <cstdio>

#include "automation/date.h"
#include "automation/decimal_text.h"
#include "contract/log_list.h"

namespace vexa {

bool IsRealDay(LONG year, LONG month, LONG day) {
    static constexpr LONG kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = year % 4 == 0 && year % 4000 != 0 && (year % 400 == 0 || year % 100 != 0);
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

HRESULT CheckLogRange(LONG year, LONG month, LONG startDay, LONG endDay, VEXA_LOGBY logBy) {
    if (!IsValidYearMonth(year, month) || startDay < 0 || endDay < 0 || startDay > 31 || endDay > 31)
        return E_INVALIDARG;
    if (startDay != 0 && endDay != 0 &&
        (!IsRealDay(year, month, startDay) || !IsRealDay(year, month, endDay)))
        return E_INVALIDARG;
    if (logBy != VEXA_BYALL && logBy != VEXA_BYRESERVATION) return E_INVALIDARG;
    return S_OK;
}

std::string LogDateText(LONG year, LONG month, LONG startDay, LONG endDay) {
    char text[64];
    if (startDay == 0 && endDay == 0)
        std::snprintf(text, sizeof text, "%04d%02d", static_cast<int>(year), static_cast<int>(month));
    else
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d", static_cast<int>(year), static_cast<int>(month),
                      static_cast<int>(startDay), static_cast<int>(endDay));
    return text;
}

DATE UnixSecondsToDate(std::string_view text) {
    DATE date = 0.0;
    if (!DateFromTimeT(ReadDecimal64(text), date)) return 0.0;
    return date;
}

DATE TransDateFromText(std::string_view text) {
    if (text.size() < 19) return 0.0;
    auto field = [&](size_t at, size_t length) { return ReadDecimal32(text.substr(at, length)); };
    DATE date = 0.0;
    const DateParts parts{field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)};
    return PartsToDate(parts, date) ? date : 0.0;
}

VEXA_TRANS_STATUS TransStatusFromCode(std::string_view status) {
    switch (ReadDecimal32(status)) {
        case 2:
            return VEXA_TRANS_WAITING;
        case 3:
            return VEXA_TRANS_RECEIVED;
        default:
            return VEXA_TRANS_REQUESTED;
    }
}

VEXA_TRANS_RESULT TransResultFromCode(std::string_view result) {
    switch (ReadDecimal32(result)) {
        case 0:
            return VEXA_TRANS_SUCCEEDED;
        case 2:
            return VEXA_TRANS_NOTEXISTNUMBER;
        default:
            return VEXA_TRANS_FAILED;
    }
}

}  // namespace vexa
