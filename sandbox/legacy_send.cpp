// SENDSMS: the receivers of a legacy send go through the same acceptance, charge and storage as a
// REST send of type sms; the transfer records that it came over the legacy protocol.
#include "sandbox/legacy_elements.h"
#include "sandbox/legacy_service.h"
#include "sandbox/legacy_wire_text.h"
#include "sandbox/operations.h"

namespace vexa::sandbox {

namespace {

using Quill::TPMLNode;
using Quill::TPMLTree;

// The batch the element asks for. Each receiver says whether it is reserved; the batch is a
// reservation when any of them is, and its direct receivers then go at once ("systemtime").
SendRequest ReadSendSms(const TPMLNode& request) {
    SendRequest send;
    send.type = "sms";
    send.sender = FieldFromWire(TPMLTree::GetChildText(&request, "SENDER"));
    for (const TPMLNode* child = request.FirstChild(); child; child = child->Next()) {
        if (!child->IsElement() || child->Name() != "RECEIVER") continue;
        SendRequest::Receiver receiver;
        receiver.name = FieldFromWire(TPMLTree::GetAttribute(child, "name"));
        receiver.phone = FieldFromWire(TPMLTree::GetAttribute(child, "phone"));
        receiver.message = FieldFromWire(TPMLTree::GetChildText(child, "MESSAGE"));
        const TPMLNode* when = TPMLTree::FindChild(child, "SENDTIME");
        const bool reserved = TPMLTree::GetAttribute(when, "mode") == "reservation";
        receiver.sendTime = reserved ? TextFromWire(TPMLTree::GetAttribute(when, "value")) : "systemtime";
        send.reservation = send.reservation || reserved;
        send.receivers.push_back(std::move(receiver));
    }
    if (const TPMLNode* count = TPMLTree::FindChild(&request, "COUNT")) send.count = count->Value();
    return send;
}

}  // namespace

void AnswerSendSms(const LegacyCall& call, const TPMLNode& request, TPMLNode* root) {
    TPMLNode* reply = TPMLTree::AddElement(root, "SENDSMS");
    TPMLTree::SetAttribute(reply, "type", "reply");
    const SendRequest send = ReadSendSms(request);
    if (send.receivers.empty()) {
        AddLegacyError(reply, legacy_error::kBadRequest, "the request lists no receivers");
        return;
    }
    if (send.count && *send.count != std::to_string(send.receivers.size())) {
        AddLegacyError(reply, legacy_error::kBadRequest,
                       "COUNT is " + *send.count + " but " + std::to_string(send.receivers.size()) +
                           " receivers are listed");
        return;
    }
    const SendOutcome outcome =
        StoreBatch(call.store, call.account, send, {"sms", {}, call.peerAddress, "legacy"}, call.now,
                   call.deliveryDelay);
    if (outcome.creditShort) {
        AddLegacyError(reply, legacy_error::kNotEnoughCredit,
                       "the batch costs " + std::to_string(outcome.cost) + " and the credit is " +
                           std::to_string(outcome.account.credit));
        return;
    }
    for (const ReceiverRecord& record : outcome.records) {
        const bool sent = record.result == "succeed";
        TPMLNode* result = TPMLTree::AddElement(reply, "RESULT", sent ? "succeed" : "failed");
        TPMLTree::SetAttribute(result, "phone", TextToWire(record.phone));
        TPMLTree::SetAttribute(result, "date", record.date);
        TPMLTree::SetAttribute(result, "index", record.index);
    }
}

}  // namespace vexa::sandbox
