// The documents the component sends: a send request (root "messages") and the entries of a
// delete or cancel request (root "logs"). Texts stay UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rest/transfers_document.h"

namespace vexa::sandbox {

struct SendRequest {
    struct Receiver {
        std::string phone;
        std::string name;
        std::optional<std::string> message;  // absent: the common text
        std::string sendTime;                // "systemtime" or a local "YYYY-MM-DD HH:MM:SS"
    };

    std::string sender;
    std::string message;
    std::string type;  // as written; the service checks it
    std::string subject;
    bool reservation = false;
    std::optional<std::string> count;
    std::vector<Receiver> receivers;
    std::vector<std::string> images;  // data URIs
};

// Nullopt, with `error` saying why, when the body is not such a document. Documents with a
// document type declaration are refused: nothing of the service needs one.
std::optional<SendRequest> ReadSendRequest(std::string_view body, std::string& error);
std::optional<std::vector<LogKey>> ReadLogKeys(std::string_view body, std::string& error);

}  // namespace vexa::sandbox
