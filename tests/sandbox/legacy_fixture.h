// What the legacy protocol's sandbox suites share: packets as the legacy client writes them, and
// replies read back as trees.
#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "legacy/protocol/scramble.h"
#include "legacy/protocol/tpml.h"

namespace vexa::sandbox::test {

using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;

// The password as the client sends it: scrambled, and again until it holds no space.
inline std::string Scrambled(std::string_view password) {
    std::string text = VexaCore::ScrambleText(password);
    while (text.find(' ') != std::string::npos) text = VexaCore::ScrambleText(password);
    return text;
}

// A top-level USER holding LOGIN with the user ID, the password as it goes on the wire, and the
// client's description; returns the USER element.
inline TPMLNode* AddLogin(CTPMLParser& packet, std::string_view userId, std::string_view wirePassword) {
    TPMLNode* user = TPMLTree::AddElement(packet.Root(), "USER");
    TPMLTree::SetAttribute(user, "type", "request");
    TPMLNode* login = TPMLTree::AddElement(user, "LOGIN");
    TPMLTree::AddElement(login, "USER_ID", userId);
    TPMLTree::AddElement(login, "PASSWORD", wirePassword);
    TPMLNode* client = TPMLTree::AddElement(login, "ETCINFO");
    TPMLTree::SetAttribute(client, "macaddress", "00-11-22-33-44-55");
    TPMLTree::SetAttribute(client, "computername", "DESK");
    TPMLTree::SetAttribute(client, "username", "clerk");
    TPMLTree::SetAttribute(client, "servicecode", "");
    TPMLTree::SetAttribute(client, "modulename", "host.exe");
    return user;
}

inline TPMLNode* AddLogin(CTPMLParser& packet) { return AddLogin(packet, "kim", Scrambled("secret")); }

// A top-level element with type="request".
inline TPMLNode* AddRequest(CTPMLParser& packet, std::string_view name) {
    TPMLNode* element = TPMLTree::AddElement(packet.Root(), name);
    TPMLTree::SetAttribute(element, "type", "request");
    return element;
}

struct SmsReceiver {
    std::string phone;
    std::string message = "hello";
    std::string sendTime = "systemtime";  // anything else: a reservation for that local time
    std::string name;
};

inline TPMLNode* AddSendSms(CTPMLParser& packet, const std::vector<SmsReceiver>& receivers,
                            std::string_view sender = "02-555-1212") {
    TPMLNode* send = AddRequest(packet, "SENDSMS");
    TPMLTree::AddElement(send, "SENDER", sender);
    TPMLTree::AddElement(send, "COUNT", std::to_string(receivers.size()));
    for (const SmsReceiver& r : receivers) {
        TPMLNode* receiver = TPMLTree::AddElement(send, "RECEIVER");
        TPMLTree::SetAttribute(receiver, "name", r.name);
        TPMLTree::SetAttribute(receiver, "phone", r.phone);
        TPMLTree::AddElement(receiver, "MESSAGE", r.message);
        TPMLNode* when = TPMLTree::AddElement(receiver, "SENDTIME", r.sendTime);
        TPMLTree::SetAttribute(when, "mode", r.sendTime == "systemtime" ? "direct" : "reservation");
    }
    return send;
}

// A LOG child with date and index attributes.
inline TPMLNode* AddKey(TPMLNode* parent, std::string_view name, std::string_view date,
                        std::string_view index) {
    TPMLNode* key = TPMLTree::AddElement(parent, name);
    TPMLTree::SetAttribute(key, "date", date);
    TPMLTree::SetAttribute(key, "index", index);
    return key;
}

inline std::string Text(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

inline std::unique_ptr<CTPMLParser> ParseDocument(std::string_view text) {
    auto document = std::make_unique<CTPMLParser>();
    EXPECT_TRUE(document->Parse(text)) << text;
    return document;
}

// The element children of `parent` named `name` ("" for all), in order.
inline std::vector<const TPMLNode*> Elements(const TPMLNode* parent, std::string_view name = {}) {
    std::vector<const TPMLNode*> found;
    for (const TPMLNode* child = parent ? parent->FirstChild() : nullptr; child; child = child->Next()) {
        if (child->IsElement() && (name.empty() || child->Name() == name)) found.push_back(child);
    }
    return found;
}

inline std::vector<std::string> Names(const TPMLNode* parent) {
    std::vector<std::string> names;
    for (const TPMLNode* child : Elements(parent)) names.push_back(child->Name());
    return names;
}

inline std::string Attribute(const TPMLNode* element, std::string_view name) {
    return TPMLTree::GetAttribute(element, name);
}

}  // namespace vexa::sandbox::test
