#include "sandbox/transfer_views.h"

#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

void FillSummary(const Transfer& t, int64_t now, TransferSummary& s) {
    s.index = std::to_string(t.key.index);
    s.date = t.key.month;
    s.type = t.type;
    s.isReservation = t.reservation;
    // A transfer to many shows its first receiver; the common text, or else the first receiver's.
    const Receiver* first = t.receivers.empty() ? nullptr : &t.receivers.front();
    s.phoneSend = first ? first->phone : "";
    s.phoneBack = t.sender;
    const TransferCounts counts = CountsAt(t, now);
    s.countTotal = counts.total;
    s.countSuccess = counts.success;
    s.countFailure = counts.failure;
    s.message = !t.message.empty() || !first ? t.message : first->message;
    s.timeSend = std::to_string(t.sendTime);
    s.timeWrite = std::to_string(t.writeTime);
    s.canCancel = CanCancel(t, now);
}

}  // namespace

LogRecord LogEntryOf(const Transfer& transfer, int64_t now) {
    LogRecord record;
    FillSummary(transfer, now, record);
    return record;
}

TransferDetail DetailOf(const Transfer& t, int64_t now, std::string_view imagesUrl) {
    TransferDetail d;
    FillSummary(t, now, d);
    d.subject = t.subject;
    d.via = t.via;
    d.userIp = t.userIp;
    d.isDeleted = t.deletedTime.has_value();
    d.delType = t.deletedTime ? "user" : "";
    d.timeDelete = t.deletedTime ? std::to_string(*t.deletedTime) : "";
    for (int position = 1; position <= t.imageCount; ++position) {
        d.imageUrls.push_back(std::string(imagesUrl) + "/" + t.key.month + "/" + std::to_string(t.key.index) +
                              "/" + std::to_string(position) + ".jpg");
    }
    for (const Receiver& r : t.receivers) {
        const ReceiverState state = StateAt(r, now);
        DetailRecord record;
        record.message = r.message.empty() ? t.message : r.message;  // what the receiver got
        record.name = r.name;
        record.phoneSend = r.phone;
        record.status = std::to_string(state.status);
        record.result = std::to_string(state.result);
        record.tranDate = state.deliveredAt;
        record.tranRsltDate = state.deliveredAt;
        d.receivers.push_back(std::move(record));
    }
    return d;
}

}  // namespace vexa::sandbox
