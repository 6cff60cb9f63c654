#include "message/log_mapping.h"

#include <cstdio>

#include "automation/date.h"
#include "rest/xml_document.h"

namespace vexa {

bool IsRealDay(LONG year, LONG month, LONG day) {
    static constexpr LONG kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = year % 4 == 0 && year % 4000 != 0 && (year % 400 == 0 || year % 100 != 0);
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
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
    if (!DateFromTimeT(static_cast<time_t>(ReadDecimal64(text)), date)) return 0.0;
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

VEXA_TRANS_RESULT TransResultOf(const DetailRecord& record) {
    if (!record.resultDetail.empty())
        return static_cast<VEXA_TRANS_RESULT>(ReadDecimal32(record.resultDetail));
    switch (ReadDecimal32(record.result)) {
        case 0:
            return VEXA_TRANS_SUCCEEDED;
        case 2:
            return VEXA_TRANS_NOTEXISTNUMBER;
        default:
            return VEXA_TRANS_FAILED;
    }
}

VEXA_MESSAGE_TYPE LogListTypeFromName(std::string_view word) {
    const int32_t type = TypeFromName(word);
    return type == 0 ? VEXA_MESSAGE_TYPE_SMS : static_cast<VEXA_MESSAGE_TYPE>(type);
}

}  // namespace vexa
