// Requests to the sandbox in the component's own documents, and replies read back with the
// component's own readers: for the tests, and for the benchmark that shares their load.
#pragma once

#include <string>
#include <vector>

#include "reply_reading.h"
#include "rest/messages_document.h"
#include "rest/service_context.h"
#include "rest/transfers_document.h"

namespace vexa::sandbox::test {

// The Authorization value the component sends for these credentials.
inline std::string BasicAuthorization(const std::string& user, const std::string& password) {
    ServiceContext context;
    context.SetCredentials(user, password);
    return context.authorization;
}

struct Addressee {
    std::string phone;
    int64_t sendTime = 0;  // 0: at once
    std::string message;   // empty: the common text
    std::string name;
};

// A send request as the component writes it (texts in its local code page).
inline std::string SendDocument(const std::string& type, const std::string& common,
                                const std::vector<Addressee>& addressees,
                                const std::vector<std::string>& images = {}, const std::string& sender = "") {
    CRondoMessages messages{ServiceContext{}};
    CRondoMessage& m = messages.message;
    m.type = type;
    m.message = common;
    m.sender = sender;
    m.images = images;
    for (const Addressee& a : addressees) {
        ReceiverRecord r;
        r.phone = a.phone;
        r.name = a.name;
        r.message = a.message.empty() ? common : a.message;
        r.sendTime = a.sendTime;
        if (a.sendTime != 0) m.reservation = true;
        m.receivers.push_back(std::move(r));
    }
    return messages.BuildRequest();
}

// The logs document of a delete or cancel request, as the component writes it.
inline std::string LogsDocument(const std::vector<LogKey>& keys) {
    CRondoTransfers transfers{ServiceContext{}};
    return transfers.BuildLogsRequest(keys);
}

// Reads a 200 reply as the component does after a request for `path`; false when it would
// refuse it.
template <class Entity>
bool ReadReply(Entity& entity, const std::string& contentType, const std::string& body,
               const std::string& path) {
    return vexa::test::ReadOkReply(entity, body, contentType, path);
}

}  // namespace vexa::sandbox::test
