// The documents the sandbox answers with, written from the component's own record types through
// the component's own field tables, so that each element the component reads is written under the
// name it reads it by. UTF-8 with an XML declaration that says so.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rest/messages_document.h"
#include "rest/transfers_document.h"
#include "sandbox/records.h"

namespace vexa::sandbox {

// What every reply's info element says besides the account's status.
struct ReplyContext {
    const Account* account = nullptr;  // null before the caller is known: no status element
    std::string selfUrl;               // the absolute URL of the request
};

struct ReplyError {
    std::string code;  // a word: "bad-request", "unauthorized", ...
    std::string message;
};

// users: the account's status, and the same once more in info.
std::string UsersReply(const ReplyContext& context);

// messages: one receiver element per receiver, with result, phone, index, date, message and
// sendtime (the record's send time as local text, empty when it has none).
std::string MessagesReply(const std::vector<ReceiverRecord>& receivers, const ReplyContext& context);

// transfers with a logs list. A list reply writes every field of an entry but its result; a
// delete reply index, date, type and result; a cancel reply those and the three counts.
enum class LogsShape { kList, kDelete, kCancel };
std::string LogsReply(const std::vector<LogRecord>& records, LogsShape shape, const ReplyContext& context);

// transfers carrying one transfer's fields (its subject among them), its images and its details;
// without a transfer only info, which the component reads as a transfer without receivers.
std::string DetailReply(const TransferDetail* detail, const ReplyContext& context);

// `rootName` with an info element carrying the error (and the account's status when known).
std::string ErrorReply(std::string_view rootName, const ReplyError& error, const ReplyContext& context);

}  // namespace vexa::sandbox
