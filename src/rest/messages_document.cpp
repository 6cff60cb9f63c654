#include "rest/messages_document.h"

#include "automation/date.h"

namespace vexa {

namespace {

const char* YesNo(bool value) { return value ? "Y" : "N"; }

}  // namespace

void CRondoMessage::LoadFromNode(xmlNodePtr receivers) {
    // The reply's receivers replace the request's.
    this->receivers.clear();
    ForEachItem(*this, receivers, kReplyReceivers.item, [&](xmlNodePtr child) {
        ReceiverRecord record;
        ReadFields(*this, child, kReplyReceiverFields, record);
        this->receivers.push_back(std::move(record));
    });
}

bool CRondoMessages::ParseReply() {
    const xmlNodePtr root = ReplyRoot("messages");
    if (!root) return false;
    LoadParts(root, kReplyReceivers.list, message);
    return true;
}

std::string CRondoMessages::BuildRequest() {
    const CRondoMessage& m = message;
    const xmlNodePtr root = NewDocument("messages");
    if (!root) return {};
    if (!m.sender.empty()) AddTextChild(root, "sender", m.sender);
    if (!m.message.empty()) AddTextChild(root, "message", m.message);
    AddTextChild(root, "type", m.type);
    if (!m.subject.empty()) AddTextChild(root, "subject", m.subject);
    AddTextChild(root, "reservation", YesNo(m.reservation));
    // A reservation carries its times in the receivers only.
    if (!m.reservation) AddTextChild(root, "sendtime", "systemtime");
    AddTextChild(root, "free", YesNo(m.free));
    AddTextChild(root, "count", std::to_string(m.receivers.size()));

    if (!m.receivers.empty()) {
        const xmlNodePtr list = AddChildElement(root, "receivers");
        for (const ReceiverRecord& r : m.receivers) {
            const xmlNodePtr receiver = AddChildElement(list, "receiver");
            AddTextChild(receiver, "phone", r.phone);
            if (!r.name.empty()) AddTextChild(receiver, "name", r.name);
            // Only a text of its own is repeated, even an empty one under a common text.
            if (r.message != m.message) AddTextChild(receiver, "message", r.message);
            AddTextChild(receiver, "sendtime", r.sendTime != 0 ? FormatSendTime(r.sendTime) : "systemtime");
        }
    }
    if (!m.images.empty()) {
        const xmlNodePtr list = AddChildElement(root, "images");
        for (const std::string& content : m.images) {
            AddTextChild(AddChildElement(list, "image"), "content", content);
        }
    }
    return SerializeDocument();
}

bool CRondoMessages::PostMessages() {
    const std::string body = BuildRequest();
    return Execute("POST", "/messages/" + PathSegment(Context().userId), body);
}

std::string FormatSendTime(int64_t seconds) {
    // The times a 64-bit C runtime converts to local time: 1970-01-01 00:00:00 UTC to
    // 3000-12-31 23:59:59 UTC. Anything else (-1 included) has no text.
    constexpr int64_t kLastTime = 32535215999;
    if (seconds < 0 || seconds > kLastTime) return {};
    DATE date = 0;
    if (!DateFromTimeT(seconds, date)) return {};
    return FormatLocalDate(date);
}

}  // namespace vexa
