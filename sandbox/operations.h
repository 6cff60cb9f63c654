// The operations behind each resource, for Service to dispatch to once it knows the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/reply_documents.h"
#include "sandbox/request_documents.h"
#include "sandbox/routes.h"
#include "sandbox/service.h"

namespace vexa::sandbox {

struct Operation {
    Store& store;
    const Account& account;
    const ServiceRequest& request;
    const Route& route;
    int64_t now = 0;
    int64_t deliveryDelay = 0;
    std::string selfUrl;

    ReplyContext Context() const { return {&account, selfUrl}; }
};

ServiceReply XmlReply(int status, std::string body);
// 400 with the error in info, under `rootName`.
ServiceReply BadRequest(const Operation& op, std::string_view rootName, std::string message);

// What a send stores besides its request.
struct SendSource {
    std::string type;                 // "sms", "lms" or "mms"
    std::vector<std::string> images;  // JPEG bytes
    std::string userIp;               // the client's address
    std::string via;                  // the protocol: "rest" or "legacy"
};

struct SendOutcome {
    // One per requested receiver, in order; the accepted ones carry the transfer's month and index.
    std::vector<ReceiverRecord> records;
    bool creditShort = false;  // the credit did not cover the batch: nothing stored
    int64_t cost = 0;          // of the accepted receivers
    Account account;           // as it is after the send
};

// Accepts the request's receivers one by one (a phone the service takes, a readable time for a
// reservation), and stores the accepted ones as one transfer charged as a whole, or nothing when
// the credit does not cover them. The request's type, count and images are the caller's to check.
SendOutcome StoreBatch(Store& store, const Account& account, const SendRequest& request, SendSource source,
                       int64_t now, int64_t deliveryDelay);

ServiceReply SendMessages(const Operation& op);

// The transfer a log entry (index, month key, type word) names, deleted or not; nullopt when the
// entry cannot be read, the account has no such transfer, or the type word is neither its type
// nor "all".
std::optional<Transfer> FindNamedTransfer(Store& store, const Account& account, const LogKey& entry);
// One entry of a delete request answered: index, date and type echoed, result "succeed" or "fail".
LogRecord DeleteEntry(Store& store, const Account& account, const LogKey& entry, int64_t now);
// One entry of a cancel request answered: the echo, the result and the three counts.
LogRecord CancelEntry(Store& store, const Account& account, const LogKey& entry, int64_t now);

ServiceReply ListLogs(const Operation& op);
ServiceReply ShowDetail(const Operation& op);
ServiceReply DeleteTransfers(const Operation& op);
ServiceReply CancelTransfers(const Operation& op);

}  // namespace vexa::sandbox
