#include "message/send_results.h"

#include "automation/text.h"

namespace vexa {

ComPtr<SendResults> SendResultsFrom(const std::vector<ReceiverRecord>& records, VEXA_MESSAGE_TYPE type) {
    return CollectionFrom<SendResults, SendResult>(
        records, [type](SendResult& result, const ReceiverRecord& r) {
            SendResult::Fields& f = result.Fill();
            f.phone = BstrFromLocal(r.phone);
            f.result = r.result == "succeed" ? VEXA_SUCCEEDED : VEXA_FAILED;
            f.date = BstrFromLocal(r.date);
            f.index = BstrFromLocal(r.index);
            f.type = type;
        });
}

}  // namespace vexa
