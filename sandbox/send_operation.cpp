// POST /messages/{user}: a batch is accepted receiver by receiver, charged as a whole, and stored
// as one transfer, or not at all.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/base64.h"
#include "sandbox/local_time.h"
#include "sandbox/operations.h"
#include "sandbox/request_documents.h"
#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

constexpr const char* kRoot = "messages";

// The bytes of a data URI ("data:image/jpeg;base64,..."); nullopt for anything else, or none.
std::optional<std::string> ImageBytes(std::string_view uri) {
    if (!uri.starts_with("data:")) return std::nullopt;
    const size_t comma = uri.find(',');
    if (comma == std::string_view::npos || !uri.substr(0, comma).ends_with(";base64")) return std::nullopt;
    std::optional<std::string> bytes = DecodeBase64(uri.substr(comma + 1));
    if (!bytes || bytes->empty()) return std::nullopt;
    return bytes;
}

// When a receiver goes out: the request's time for a reservation, else now. Nullopt when a
// reservation names no readable time.
std::optional<int64_t> SendTimeOf(const SendRequest& request, const SendRequest::Receiver& r, int64_t now) {
    if (!request.reservation || r.sendTime == "systemtime") return now;
    return ParseLocalTime(r.sendTime);
}

}  // namespace

ServiceReply SendMessages(const Operation& op) {
    std::string error;
    const std::optional<SendRequest> request = ReadSendRequest(op.request.body, error);
    if (!request) return BadRequest(op, kRoot, error);
    const std::optional<std::string> type = ParseTypeWord(request->type);
    if (!type || type->empty()) return BadRequest(op, kRoot, "type must be sms, lms or mms");
    if (request->receivers.empty()) return BadRequest(op, kRoot, "the request lists no receivers");
    if (request->count && *request->count != std::to_string(request->receivers.size())) {
        return BadRequest(op, kRoot,
                          "count is " + *request->count + " but " +
                              std::to_string(request->receivers.size()) + " receivers are listed");
    }
    if (!request->images.empty() && *type != "mms") {
        return BadRequest(op, kRoot, "only an mms carries images");
    }

    const LocalDay today = LocalDayOf(op.now);
    NewTransfer transfer;
    transfer.month = MonthKey(today.year, today.month);
    transfer.day = today.day;
    transfer.type = *type;
    // Without a sender the account's own return phone is shown.
    transfer.sender = !request->sender.empty() || op.account.returnPhones.empty()
                          ? request->sender
                          : op.account.returnPhones.front();
    transfer.message = request->message;
    transfer.subject = request->subject;
    transfer.reservation = request->reservation;
    transfer.writeTime = op.now;
    transfer.userIp = op.request.remoteAddress;
    for (size_t i = 0; i < request->images.size(); ++i) {
        std::optional<std::string> bytes = ImageBytes(request->images[i]);
        if (!bytes) {
            return BadRequest(op, kRoot, "image " + std::to_string(i + 1) + " is not a base64 data URI");
        }
        transfer.images.push_back(std::move(*bytes));
    }

    // One reply record per requested receiver; the accepted ones also become the transfer's.
    std::vector<ReceiverRecord> records;
    std::vector<size_t> accepted;
    for (const SendRequest::Receiver& r : request->receivers) {
        ReceiverRecord record;
        record.phone = r.phone;
        record.message = r.message.value_or(request->message);
        const std::optional<int64_t> sendTime = SendTimeOf(*request, r, op.now);
        if (IsAcceptablePhone(r.phone) && sendTime) {
            record.sendTime = *sendTime;
            accepted.push_back(records.size());
            transfer.receivers.push_back(
                PlanDelivery(r.phone, r.name, record.message, *sendTime, op.now, op.deliveryDelay));
            transfer.sendTime =
                transfer.receivers.size() == 1 ? *sendTime : std::min(transfer.sendTime, *sendTime);
        }
        record.result = "fail";
        records.push_back(std::move(record));
    }
    transfer.cost = static_cast<int64_t>(transfer.receivers.size()) * CostPerReceiver(transfer.type);

    if (transfer.receivers.empty()) return XmlReply(200, MessagesReply(records, op.Context()));
    const std::optional<TransferKey> key = op.store.AddTransfer(op.account.id, transfer);
    // The credit as it is now, after this send or others running beside it.
    const std::optional<Account> after = op.store.FindAccount(op.account.userId);
    const ReplyContext context{after ? &*after : &op.account, op.selfUrl};
    if (!key) {
        const std::string message = "the batch costs " + std::to_string(transfer.cost) +
                                    " and the credit is " + std::to_string(context.account->credit);
        return XmlReply(540, ErrorReply(kRoot, {"not-enough-credit", message}, context));
    }
    for (size_t i : accepted) {
        records[i].result = "succeed";
        records[i].index = std::to_string(key->index);
        records[i].date = key->month;
    }
    return XmlReply(200, MessagesReply(records, context));
}

}  // namespace vexa::sandbox
