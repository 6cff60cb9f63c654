#include "sandbox/legacy_service.h"

#include <exception>
#include <optional>
#include <utility>

#include "legacy/protocol/scramble.h"
#include "legacy/protocol/tpml.h"
#include "sandbox/legacy_elements.h"
#include "sandbox/legacy_wire_text.h"

namespace vexa::sandbox {

namespace {

using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;

bool IsKnownElement(const std::string& name) {
    return name == "USER" || name == "SENDSMS" || name == "LOGLIST" || name == "LOGDETAIL";
}

// A log line holds one request: no control characters from the client break it.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return text;
}

// Client text in a log line, cut short: a packet may carry megabytes of it.
std::string ForLog(std::string_view local) { return Printable(TextFromWire(local.substr(0, 200))); }

std::string Serialized(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

// "kim USER,SENDSMS,USER" and the client's description, as the packet tells them.
std::string Summary(const CTPMLParser& request, const TPMLNode& login, const std::string& userId) {
    constexpr size_t kNamesShown = 16;
    std::string summary = userId.empty() ? "-" : Printable(userId.substr(0, 200));
    size_t count = 0;
    for (const TPMLNode* node = request.Root()->FirstChild(); node; node = node->Next(), ++count) {
        if (count < kNamesShown) summary.append(count == 0 ? " " : ",").append(ForLog(node->Name()));
    }
    if (count > kNamesShown) summary.append(",... (").append(std::to_string(count)).append(" elements)");
    if (const TPMLNode* client = TPMLTree::FindChild(&login, "ETCINFO")) {
        size_t shown = 0;
        for (const TPMLNode* a = client->FirstChild(); a && shown < kNamesShown; a = a->Next()) {
            if (a->Kind() != Quill::TPMLNodeKind::Attribute) continue;
            summary.append(" ")
                .append(ForLog(a->Name()))
                .append("=\"")
                .append(ForLog(a->Value()))
                .append("\"");
            ++shown;
        }
    }
    return summary;
}

}  // namespace

void AddLegacyError(TPMLNode* parent, std::string_view code, std::string_view message) {
    TPMLNode* error = TPMLTree::AddElement(parent, "ERROR", message);
    TPMLTree::SetAttribute(error, "code", code);
}

LegacyService::LegacyService(Store& store, LegacySettings settings, Clock clock)
    : store_(store), settings_(settings), clock_(std::move(clock)), authenticator_(store_, {}) {}

LegacyAnswer LegacyService::ErrorAnswer(std::string_view code, std::string_view message) {
    CTPMLParser reply;
    AddLegacyError(reply.Root(), code, message);
    return {Serialized(reply), "error " + std::string(code) + " " + ForLog(message)};
}

LegacyAnswer LegacyService::Handle(std::string_view packet, const std::string& peerAddress) {
    try {
        return Answer(packet, peerAddress);
    } catch (const std::exception& e) {
        // Whatever was answered before the failure is dropped with it.
        return ErrorAnswer(legacy_error::kInternal, e.what());
    }
}

LegacyAnswer LegacyService::Answer(std::string_view packet, const std::string& peerAddress) {
    CTPMLParser request;
    if (!request.Parse(packet)) return ErrorAnswer(legacy_error::kBadDocument, "the packet does not parse");

    // Unknown elements are skipped wherever they stand; the first known one must log in.
    const TPMLNode* first = request.Root()->FirstChild();
    while (first && !IsKnownElement(first->Name())) first = first->Next();
    const TPMLNode* login = first && first->Name() == "USER" ? TPMLTree::FindChild(first, "LOGIN") : nullptr;
    if (!login) {
        return ErrorAnswer(legacy_error::kNoLogin, "the packet does not begin with USER holding LOGIN");
    }
    const std::string userId = FieldFromWire(TPMLTree::GetChildText(login, "USER_ID"));
    // The password travels scrambled; it is plain printable ASCII once unscrambled.
    const std::string password = VexaCore::UnscrambleText(TPMLTree::GetChildText(login, "PASSWORD"));
    const std::string summary = Summary(request, *login, userId);
    const int64_t now = clock_();

    const std::optional<Account> account =
        userId.empty() || password.empty() ? std::nullopt : authenticator_.Verify(userId, password);
    CTPMLParser reply;
    if (!account) {
        // A refused login is answered and nothing else of the packet is.
        TPMLNode* user = TPMLTree::AddElement(reply.Root(), "USER");
        TPMLTree::SetAttribute(user, "type", "reply");
        TPMLNode* refused = TPMLTree::AddElement(user, "LOGIN");
        TPMLTree::SetAttribute(refused, "result", "failed");
        TPMLTree::AddElement(refused, "USER_ID", TPMLTree::GetChildText(login, "USER_ID"));
        TPMLTree::AddElement(refused, "VERSION", kLegacyServerVersion);
        TPMLTree::AddElement(refused, "SERVERTIME", std::to_string(now));
        return {Serialized(reply), summary + " login=failed"};
    }

    const LegacyCall call{store_, *account, now, settings_.deliveryDelay, peerAddress};
    for (const TPMLNode* node = first; node; node = node->Next()) {
        const std::string& name = node->Name();
        if (name == "USER") {
            AnswerUser(call, *node, reply.Root(), node == first);
        } else if (name == "SENDSMS") {
            AnswerSendSms(call, *node, reply.Root());
        } else if (name == "LOGLIST") {
            AnswerLogList(call, *node, reply.Root());
        } else if (name == "LOGDETAIL") {
            AnswerLogDetail(call, *node, reply.Root());
        }
    }
    return {Serialized(reply), summary + " login=succeed"};
}

}  // namespace vexa::sandbox
