// The receivers of a messages reply as the SendResults a send hands out.
#pragma once

#include <vector>

#include "contract/send_result.h"
#include "rest/messages_document.h"

namespace vexa {

// One SendResult per record, in order; a result counts as accepted only for exactly "succeed".
// Null when memory runs out or a result could not be made.
ComPtr<SendResults> SendResultsFrom(const std::vector<ReceiverRecord>& records, VEXA_MESSAGE_TYPE type);

}  // namespace vexa
