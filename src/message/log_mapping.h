// How the transfers replies' records become LogList and LogDetail objects.
#pragma once

#include "contract/log_detail.h"
#include "contract/log_list.h"
#include "contract/log_values.h"
#include "rest/transfers_document.h"

namespace vexa {

// A log entry's values. Its type: the three words, anything else SMS.
void FillLogList(LogList& list, const LogRecord& r);

// A receiver's details. The delivery result: a non-empty resultDetail is passed on as its
// number, unmapped.
void FillLogDetail(LogDetail& detail, const DetailRecord& r);

}  // namespace vexa
