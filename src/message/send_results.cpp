#include "message/send_results.h"

#include "automation/text.h"

namespace vexa {

ComPtr<SendResults> SendResultsFrom(const std::vector<ReceiverRecord>& records, VEXA_MESSAGE_TYPE type) {
    ComPtr<SendResults> results = SendResults::Make();
    if (!results) return {};
    for (const ReceiverRecord& record : records) {
        ComPtr<SendResult> result = SendResult::Make();
        if (!result) continue;
        SendResult::Fields& f = result->Fill();
        f.phone = BstrFromLocal(record.phone);
        f.result = record.result == "succeed" ? VEXA_SUCCEEDED : VEXA_FAILED;
        f.date = BstrFromLocal(record.date);
        f.index = BstrFromLocal(record.index);
        f.type = type;
        results->AddObject(result);
    }
    if (static_cast<size_t>(results->Count()) != records.size()) return {};
    return results;
}

}  // namespace vexa
