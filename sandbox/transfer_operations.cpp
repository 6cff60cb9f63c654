// The transfers resource: a month's log, one transfer's details, deleting and cancelling.
#include <optional>
#include <string>
#include <vector>

#include "rest/service_context.h"
#include "sandbox/operations.h"
#include "sandbox/request_documents.h"
#include "sandbox/rules.h"
#include "sandbox/transfer_views.h"

namespace vexa::sandbox {

namespace {

constexpr const char* kRoot = "transfers";

// The transfer a log entry of a delete or cancel request names, when its type word allows it.
struct NamedTransfer {
    std::optional<TransferKey> key;  // nullopt: the entry names no transfer at all
    std::string type;                // "" for every type
};

NamedTransfer Resolve(const LogKey& entry) {
    const std::optional<int64_t> index = ParseIndex(entry.index);
    const std::optional<std::string> type = ParseTypeWord(entry.type);
    if (!index || !type || !IsMonthKey(entry.date)) return {};
    return {TransferKey{entry.date, *index}, *type};
}

bool TypeAllows(const std::string& wanted, const Transfer& transfer) {
    return wanted.empty() || wanted == transfer.type;
}

// The entries of a delete or cancel request; nullopt after answering `reply` with 400.
std::optional<std::vector<LogKey>> ReadEntries(const Operation& op, ServiceReply& reply) {
    std::string error;
    std::optional<std::vector<LogKey>> entries = ReadLogKeys(op.request.body, error);
    if (entries && entries->empty()) error = "the request lists no log entries";
    if (!entries || entries->empty()) {
        reply = BadRequest(op, kRoot, error);
        return std::nullopt;
    }
    return entries;
}

// An entry of a delete or cancel reply, before its outcome.
LogRecord EchoOf(const LogKey& entry) {
    LogRecord record;
    record.index = entry.index;
    record.date = entry.date;
    record.type = entry.type;
    return record;
}

}  // namespace

ServiceReply ListLogs(const Operation& op) {
    const std::optional<std::string> type = ParseTypeWord(op.route.args[0]);
    if (!type) return BadRequest(op, kRoot, "unknown message type '" + op.route.args[0] + "'");
    const std::optional<LogRange> range = ParseLogRange(op.route.args[1]);
    if (!range) {
        return BadRequest(op, kRoot, "the date must be YYYYMM or YYYYMMDDDD, not '" + op.route.args[1] + "'");
    }
    const LogFilter filter{range->month, range->firstDay, range->lastDay, *type, op.route.reservationOnly};
    std::vector<LogRecord> records;
    for (const Transfer& t : op.store.ListTransfers(op.account.id, filter)) {
        records.push_back(LogEntryOf(t, op.now));
    }
    return XmlReply(200, LogsReply(records, LogsShape::kList, op.Context()));
}

ServiceReply ShowDetail(const Operation& op) {
    const std::optional<std::string> type = ParseTypeWord(op.route.args[0]);
    if (!type) return BadRequest(op, kRoot, "unknown message type '" + op.route.args[0] + "'");
    const std::optional<int64_t> index = ParseIndex(op.route.args[2]);
    if (!IsMonthKey(op.route.args[1]) || !index) {
        return BadRequest(op, kRoot, "a transfer is named by its month YYYYMM and its index");
    }
    const std::optional<Transfer> transfer = op.store.FindTransfer(op.account.id, {op.route.args[1], *index});
    // An unknown transfer reads as one without receivers.
    if (!transfer || !TypeAllows(*type, *transfer)) {
        return XmlReply(200, DetailReply(nullptr, op.Context()));
    }
    const TransferDetail detail =
        DetailOf(*transfer, op.now, op.request.baseUrl + "/images/" + PathSegment(op.account.userId));
    return XmlReply(200, DetailReply(&detail, op.Context()));
}

std::optional<Transfer> FindNamedTransfer(Store& store, const Account& account, const LogKey& entry) {
    const NamedTransfer named = Resolve(entry);
    std::optional<Transfer> transfer = named.key ? store.FindTransfer(account.id, *named.key) : std::nullopt;
    if (!transfer || !TypeAllows(named.type, *transfer)) return std::nullopt;
    return transfer;
}

LogRecord DeleteEntry(Store& store, const Account& account, const LogKey& entry, int64_t now) {
    LogRecord record = EchoOf(entry);
    const std::optional<Transfer> transfer = FindNamedTransfer(store, account, entry);
    const bool deleted = transfer && store.DeleteTransfer(account.id, transfer->key, now);
    record.result = deleted ? "succeed" : "fail";
    return record;
}

LogRecord CancelEntry(Store& store, const Account& account, const LogKey& entry, int64_t now) {
    LogRecord record = EchoOf(entry);
    record.result = "fail";
    const NamedTransfer named = Resolve(entry);
    if (!named.key) return record;
    const Store::CancelOutcome outcome = store.CancelTransfer(
        account.id, *named.key, now,
        [&](const Transfer& t) { return TypeAllows(named.type, t) && CanCancel(t, now); });
    if (outcome.transfer && TypeAllows(named.type, *outcome.transfer)) {
        const auto total = static_cast<int32_t>(outcome.transfer->receivers.size());
        record.countTotal = total;
        record.countSuccess = outcome.cancelled ? total : 0;
        record.countFailure = outcome.cancelled ? 0 : total;
        if (outcome.cancelled) record.result = "succeed";
    }
    return record;
}

ServiceReply DeleteTransfers(const Operation& op) {
    ServiceReply reply;
    const std::optional<std::vector<LogKey>> entries = ReadEntries(op, reply);
    if (!entries) return reply;
    std::vector<LogRecord> records;
    for (const LogKey& entry : *entries) records.push_back(DeleteEntry(op.store, op.account, entry, op.now));
    return XmlReply(200, LogsReply(records, LogsShape::kDelete, op.Context()));
}

ServiceReply CancelTransfers(const Operation& op) {
    ServiceReply reply;
    const std::optional<std::vector<LogKey>> entries = ReadEntries(op, reply);
    if (!entries) return reply;
    std::vector<LogRecord> records;
    for (const LogKey& entry : *entries) records.push_back(CancelEntry(op.store, op.account, entry, op.now));
    // The refunds show in the credit.
    const std::optional<Account> after = op.store.FindAccount(op.account.userId);
    return XmlReply(200, LogsReply(records, LogsShape::kCancel, {after ? &*after : &op.account, op.selfUrl}));
}

}  // namespace vexa::sandbox
