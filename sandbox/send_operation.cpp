// POST /messages/{user}, and the storing of a batch that every protocol's send shares: a batch is
// accepted receiver by receiver, charged as a whole, and stored as one transfer, or not at all.
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

SendOutcome StoreBatch(Store& store, const Account& account, const SendRequest& request, SendSource source,
                       int64_t now, int64_t deliveryDelay) {
    const LocalDay today = LocalDayOf(now);
    NewTransfer transfer;
    transfer.month = MonthKey(today.year, today.month);
    transfer.day = today.day;
    transfer.type = std::move(source.type);
    // Without a sender the account's own return phone is shown.
    transfer.sender = !request.sender.empty() || account.returnPhones.empty() ? request.sender
                                                                              : account.returnPhones.front();
    transfer.message = request.message;
    transfer.subject = request.subject;
    transfer.reservation = request.reservation;
    transfer.writeTime = now;
    transfer.userIp = std::move(source.userIp);
    transfer.via = std::move(source.via);
    transfer.images = std::move(source.images);

    // One record per requested receiver; the accepted ones also become the transfer's.
    SendOutcome outcome;
    outcome.account = account;
    std::vector<size_t> accepted;
    for (const SendRequest::Receiver& r : request.receivers) {
        ReceiverRecord record;
        record.phone = r.phone;
        record.message = r.message.value_or(request.message);
        const std::optional<int64_t> sendTime = SendTimeOf(request, r, now);
        if (IsAcceptablePhone(r.phone) && sendTime) {
            record.sendTime = *sendTime;
            accepted.push_back(outcome.records.size());
            transfer.receivers.push_back(
                PlanDelivery(r.phone, r.name, record.message, *sendTime, now, deliveryDelay));
            transfer.sendTime =
                transfer.receivers.size() == 1 ? *sendTime : std::min(transfer.sendTime, *sendTime);
        }
        record.result = "fail";
        outcome.records.push_back(std::move(record));
    }
    transfer.cost = static_cast<int64_t>(transfer.receivers.size()) * CostPerReceiver(transfer.type);
    outcome.cost = transfer.cost;

    if (transfer.receivers.empty()) return outcome;
    const Store::AddOutcome added = store.AddTransfer(account.id, transfer);
    // The credit as the store left it, after this send and any that ran before it.
    outcome.account.credit = added.credit;
    const std::optional<TransferKey>& key = added.key;
    if (!key) {
        outcome.creditShort = true;
        return outcome;
    }
    for (size_t i : accepted) {
        outcome.records[i].result = "succeed";
        outcome.records[i].index = std::to_string(key->index);
        outcome.records[i].date = key->month;
    }
    return outcome;
}

ServiceReply SendMessages(const Operation& op) {
    std::string error;
    std::optional<SendRequest> request = ReadSendRequest(op.request.body, error);
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
    SendSource source{*type, {}, op.request.remoteAddress, "rest"};
    for (size_t i = 0; i < request->images.size(); ++i) {
        std::optional<std::string> bytes = ImageBytes(request->images[i]);
        if (!bytes) {
            return BadRequest(op, kRoot, "image " + std::to_string(i + 1) + " is not a base64 data URI");
        }
        // A picture's text is a third larger than the picture: it goes as soon as it is decoded.
        request->images[i] = {};
        source.images.push_back(std::move(*bytes));
    }

    const SendOutcome outcome =
        StoreBatch(op.store, op.account, *request, std::move(source), op.now, op.deliveryDelay);
    const ReplyContext context{&outcome.account, op.selfUrl};
    if (outcome.creditShort) {
        const std::string message = "the batch costs " + std::to_string(outcome.cost) +
                                    " and the credit is " + std::to_string(outcome.account.credit);
        return XmlReply(540, ErrorReply(kRoot, {"not-enough-credit", message}, context));
    }
    return XmlReply(200, MessagesReply(outcome.records, context));
}

}  // namespace vexa::sandbox
