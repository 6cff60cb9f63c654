// The answers to the legacy packet's top-level elements, once the packet's login is known. Each
// appends its reply element below the reply document's root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "legacy/protocol/tpml.h"
#include "sandbox/records.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

struct LegacyCall {
    Store& store;
    const Account& account;  // as it was at login
    int64_t now = 0;
    int64_t deliveryDelay = 0;
    std::string peerAddress;
};

// The server's protocol version and pay type, as the login reply tells them.
inline constexpr const char* kLegacyServerVersion = "4.2";
inline constexpr const char* kLegacyPayType = "prepaid";

// An ERROR element (attribute code, the message as text) below parent.
void AddLegacyError(Quill::TPMLNode* parent, std::string_view code, std::string_view message);

// USER: LOGIN (when answerLogin: the first USER, whose login succeeded), LOGOUT, STATUS, REFER and
// MODIFY, each in the order asked.
void AnswerUser(const LegacyCall& call, const Quill::TPMLNode& request, Quill::TPMLNode* root,
                bool answerLogin);
void AnswerSendSms(const LegacyCall& call, const Quill::TPMLNode& request, Quill::TPMLNode* root);
void AnswerLogList(const LegacyCall& call, const Quill::TPMLNode& request, Quill::TPMLNode* root);
void AnswerLogDetail(const LegacyCall& call, const Quill::TPMLNode& request, Quill::TPMLNode* root);

}  // namespace vexa::sandbox
