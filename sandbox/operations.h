// The operations behind each resource, for Service to dispatch to once it knows the caller.
#pragma once

#include <cstdint>
#include <string>

#include "sandbox/reply_documents.h"
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

ServiceReply SendMessages(const Operation& op);
ServiceReply ListLogs(const Operation& op);
ServiceReply ShowDetail(const Operation& op);
ServiceReply DeleteTransfers(const Operation& op);
ServiceReply CancelTransfers(const Operation& op);

}  // namespace vexa::sandbox
