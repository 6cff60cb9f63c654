#include "legacy/send_sms_bundle.h"

#include <cstdio>

#include "automation/local_time.h"
#include "legacy/protocol/escape_field.h"

namespace VexaCore {

using Quill::CTPMLParser;
using Quill::TPMLNode;

namespace {

// Local time as the service reads it; "" when the time has no calendar form.
std::string FormatSendTime(int64_t seconds) {
    vexa::LocalTimeParts local;
    if (seconds < 0 || !vexa::LocalTimeOf(seconds, local)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.year, local.month, local.day,
                  local.hour, local.minute, local.second);
    return text;
}

}  // namespace

void CSendSMSBundle::SetSender(const std::string& sender) {
    sender_ = EscapeField(sender);
    Touch();
}

void CSendSMSBundle::AddReceiver(const std::string& name, const std::string& phone,
                                 const std::string& message, bool direct, int64_t sendTime) {
    receivers_.push_back({EscapeField(name), EscapeField(phone), EscapeField(message), direct, sendTime});
    Touch();
}

void CSendSMSBundle::Process() {
    if (!ReplyMode()) {
        TPMLNode* send = StartRequest("SENDSMS");
        CTPMLParser::AddElement(send, "SENDER", sender_);
        CTPMLParser::AddElement(send, "COUNT", std::to_string(receivers_.size()));
        for (const SmsReceiver& r : receivers_) {
            TPMLNode* receiver = CTPMLParser::AddElement(send, "RECEIVER");
            CTPMLParser::SetAttribute(receiver, "name", r.name);
            CTPMLParser::SetAttribute(receiver, "phone", r.phone);
            CTPMLParser::AddElement(receiver, "MESSAGE", r.message);
            TPMLNode* time = CTPMLParser::AddElement(receiver, "SENDTIME",
                                                     r.direct ? "systemtime" : FormatSendTime(r.sendTime));
            CTPMLParser::SetAttribute(time, "mode", r.direct ? "direct" : "reservation");
        }
    } else {
        results_.clear();
        ResetError();
        const TPMLNode* send = ReplyElement();
        for (const TPMLNode* child = send ? send->FirstChild() : nullptr; child; child = child->Next()) {
            if (!child->IsElement()) continue;
            if (child->Name() == "ERROR") {
                SetError(*child);
                break;
            }
            if (child->Name() == "RESULT")
                results_.push_back({CTPMLParser::GetAttribute(child, "phone"), child->Value(),
                                    CTPMLParser::GetAttribute(child, "date"),
                                    CTPMLParser::GetAttribute(child, "index")});
        }
    }
    CUnknownBundle::Process();
}

}  // namespace VexaCore
