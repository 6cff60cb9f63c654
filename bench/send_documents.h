// The document work of one Send without its exchange, done exactly as Message::Send does it: the
// request built from the receivers, and the reply read into SendResult objects. Shared by the
// benchmarks that take it apart from the rest of a send.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "automation/text.h"
#include "message/send_results.h"
#include "rest/messages_document.h"

namespace vexa::bench {

// One receiver's texts, in whichever encoding the caller needs (the component's are local).
struct Person {
    std::string phone;
    std::string name;
    std::string message;
};

// The messages request Send posts for these receivers (local texts): the entity filled as Send
// fills it, then its document.
inline std::string BuildSendRequest(const ServiceContext& context, const std::string& sender,
                                    const std::string& common, const std::vector<Person>& receivers) {
    CRondoMessages entity(context);
    CRondoMessage& request = entity.message;
    request.sender = sender;
    request.message = common;
    for (const Person& p : receivers) {
        ReceiverRecord record;
        record.phone = p.phone;
        record.message = p.message;
        record.name = p.name;
        request.receivers.push_back(std::move(record));
    }
    return entity.BuildRequest();
}

// The response an exchange of user "bench"'s send leaves when the service answered 200 with `body`.
inline HttpResponse SendReply(std::string body) {
    HttpResponse response;
    response.status = 200;
    response.contentType = "application/xml; charset=UTF-8";
    response.method = "POST";
    response.path = "/messages/bench";
    response.body = std::move(body);
    return response;
}

// The reply read into the entity, then Send's loop over the reply's receivers; null when the
// reply did not parse.
inline ComPtr<SendResults> ReadSendResults(CRondoMessages& entity, HttpResponse reply) {
    if (!entity.ReadReply(std::move(reply))) return {};
    return SendResultsFrom(entity.message.receivers, VEXA_MESSAGE_TYPE_SMS);
}

}  // namespace vexa::bench
