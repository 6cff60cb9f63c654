// How the transfers replies' texts become the values of LogList and LogDetail objects.
#pragma once

#include <string>
#include <string_view>

#include "contract/log_values.h"
#include "rest/transfers_document.h"
#include "vexa/VexaComponent.h"

namespace vexa {

// The delivery result: a non-empty resultDetail is passed on as its number, unmapped.
VEXA_TRANS_RESULT TransResultOf(const DetailRecord& record);

// A LogList's type: the three words, anything else SMS.
VEXA_MESSAGE_TYPE LogListTypeFromName(std::string_view word);

}  // namespace vexa
