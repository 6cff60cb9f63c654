#include "message/log_mapping.h"

#include "rest/xml_document.h"

namespace vexa {

VEXA_TRANS_RESULT TransResultOf(const DetailRecord& record) {
    if (!record.resultDetail.empty())
        return static_cast<VEXA_TRANS_RESULT>(ReadDecimal32(record.resultDetail));
    return TransResultFromCode(record.result);
}

VEXA_MESSAGE_TYPE LogListTypeFromName(std::string_view word) {
    const int32_t type = TypeFromName(word);
    return type == 0 ? VEXA_MESSAGE_TYPE_SMS : static_cast<VEXA_MESSAGE_TYPE>(type);
}

}  // namespace vexa
