// Reading the log entries a host hands to a detail, delete or cancel request.
#pragma once

#include <string>
#include <vector>

#include "vexa/VexaComponent.h"

namespace vexa {

struct HostLogEntry {
    std::string date;   // local text: the month key
    std::string index;  // local text
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
};

// What an entry that is no LogList (or, with kStop, lacks the type of ILogList3) does.
enum class ForeignEntry { kSkip, kStop };

// One record per readable entry, in collection order from ArrayBase; an entry that cannot be
// fetched is skipped. A foreign entry is skipped, or stops it all with E_POINTER. None left:
// VEXA_E_LOGLISTNOTFOUND.
HRESULT CollectLogEntries(ILogLists* lists, ForeignEntry foreign, std::vector<HostLogEntry>& entries);

}  // namespace vexa
