// LOGLIST (a month's log, deleting, cancelling) and LOGDETAIL: the REST side's rules with the type
// word "sms", since the legacy service knows only texts and its client takes every log for one.
#include <optional>
#include <vector>

#include "sandbox/legacy_elements.h"
#include "sandbox/legacy_service.h"
#include "sandbox/legacy_wire_text.h"
#include "sandbox/local_time.h"
#include "sandbox/operations.h"
#include "sandbox/rules.h"
#include "sandbox/transfer_views.h"

namespace vexa::sandbox {

namespace {

using Quill::TPMLNode;
using Quill::TPMLTree;

constexpr const char* kType = "sms";

bool IsListing(const std::string& name) { return name == "REFER" || name == "REFERRES"; }

// The children of `parent` of that name, in order.
std::vector<const TPMLNode*> Children(const TPMLNode& parent, std::string_view name) {
    std::vector<const TPMLNode*> children;
    for (const TPMLNode* child = parent.FirstChild(); child; child = child->Next()) {
        if (child->IsElement() && child->Name() == name) children.push_back(child);
    }
    return children;
}

// The first date key of a listing that cannot be read, if any.
std::optional<std::string> BadDateKey(const TPMLNode& request) {
    for (const TPMLNode* listing = request.FirstChild(); listing; listing = listing->Next()) {
        if (!listing->IsElement() || !IsListing(listing->Name())) continue;
        for (const TPMLNode* date : Children(*listing, "DATE")) {
            if (!ParseLogRange(date->Value())) return date->Value();
        }
    }
    return std::nullopt;
}

void WriteLog(const LogRecord& r, TPMLNode* parent) {
    TPMLNode* log = TPMLTree::AddElement(parent, "LOG");
    TPMLTree::SetAttribute(log, "date", r.date);
    TPMLTree::SetAttribute(log, "index", r.index);
    TPMLTree::SetAttribute(log, "class", r.isReservation ? "reservation" : "direct");
    TPMLTree::SetAttribute(log, "phoneSend", TextToWire(r.phoneSend));
    TPMLTree::SetAttribute(log, "phoneBack", TextToWire(r.phoneBack));
    TPMLTree::SetAttribute(log, "countTotal", std::to_string(r.countTotal));
    TPMLTree::SetAttribute(log, "countSucceed", std::to_string(r.countSuccess));
    TPMLTree::SetAttribute(log, "countFailure", std::to_string(r.countFailure));
    TPMLTree::SetAttribute(log, "message", TextToWire(r.message));
    TPMLTree::SetAttribute(log, "timeWrite", r.timeWrite);
    TPMLTree::SetAttribute(log, "timeSend", r.timeSend);
}

void AnswerListing(const LegacyCall& call, const TPMLNode& listing, TPMLNode* reply) {
    TPMLNode* list = TPMLTree::AddElement(reply, listing.Name());
    const bool reservationOnly = listing.Name() == "REFERRES";
    for (const TPMLNode* date : Children(listing, "DATE")) {
        const LogRange range = *ParseLogRange(date->Value());
        const LogFilter filter{range.month, range.firstDay, range.lastDay, kType, reservationOnly};
        for (const Transfer& t : call.store.ListTransfers(call.account.id, filter)) {
            WriteLog(LogEntryOf(t, call.now), list);
        }
    }
}

// The transfer a LOG or REFER element names by its date and index attributes.
LogKey KeyOf(const TPMLNode& entry) {
    return {TPMLTree::GetAttribute(&entry, "index"), TPMLTree::GetAttribute(&entry, "date"), kType};
}

TPMLNode* AddEcho(const LogRecord& r, std::string_view name, TPMLNode* parent) {
    TPMLNode* echo = TPMLTree::AddElement(parent, name);
    TPMLTree::SetAttribute(echo, "date", r.date);
    TPMLTree::SetAttribute(echo, "index", r.index);
    TPMLTree::SetAttribute(echo, "result", r.result == "succeed" ? "succeed" : "failed");
    return echo;
}

void AnswerDrop(const LegacyCall& call, const TPMLNode& drop, TPMLNode* reply) {
    TPMLNode* list = TPMLTree::AddElement(reply, "DROP");
    for (const TPMLNode* entry : Children(drop, "LOG")) {
        AddEcho(DeleteEntry(call.store, call.account, KeyOf(*entry), call.now), "LOG", list);
    }
}

void AnswerCancel(const LegacyCall& call, const TPMLNode& cancel, TPMLNode* reply) {
    TPMLNode* list = TPMLTree::AddElement(reply, "CANCEL");
    for (const TPMLNode* entry : Children(cancel, "LOG")) {
        const LogRecord r = CancelEntry(call.store, call.account, KeyOf(*entry), call.now);
        TPMLNode* log = AddEcho(r, "LOG", list);
        TPMLTree::SetAttribute(log, "countTotal", std::to_string(r.countTotal));
        TPMLTree::SetAttribute(log, "countCanceled", std::to_string(r.countSuccess));
        TPMLTree::SetAttribute(log, "countRemain", std::to_string(r.countFailure));
    }
}

// Cancelled is the sandbox's own result code; the legacy vocabulary has no word for it and shows it
// as failed.
std::string LegacyResult(const std::string& result) {
    return result == std::to_string(kResultCancelled) ? std::to_string(kResultNotDelivered) : result;
}

void AnswerDetail(const LegacyCall& call, const TPMLNode& asked, TPMLNode* reply) {
    TPMLNode* group = TPMLTree::AddElement(reply, "REFER");
    const LogKey key = KeyOf(asked);
    TPMLTree::SetAttribute(group, "date", key.date);
    TPMLTree::SetAttribute(group, "index", key.index);
    // A transfer the account does not have reads as one without receivers, as over REST.
    const std::optional<Transfer> transfer = FindNamedTransfer(call.store, call.account, key);
    if (!transfer) return;
    const TransferDetail detail = DetailOf(*transfer, call.now, {});
    TPMLTree::SetAttribute(group, "phoneBack", TextToWire(detail.phoneBack));
    TPMLTree::SetAttribute(group, "tranDate", FormatLocalTime(transfer->sendTime));
    TPMLTree::SetAttribute(group, "message", TextToWire(detail.message));
    int position = 0;
    for (const DetailRecord& r : detail.receivers) {
        TPMLNode* log = TPMLTree::AddElement(group, "LOG");
        TPMLTree::SetAttribute(log, "index", std::to_string(++position));
        TPMLTree::SetAttribute(log, "phoneSend", TextToWire(r.phoneSend));
        TPMLTree::SetAttribute(log, "message", TextToWire(r.message));
        TPMLTree::SetAttribute(log, "status", r.status);
        TPMLTree::SetAttribute(log, "result", LegacyResult(r.result));
        TPMLTree::SetAttribute(log, "tranDate", r.tranDate);
        TPMLTree::SetAttribute(log, "tranRsltDate", r.tranRsltDate);
    }
}

}  // namespace

void AnswerLogList(const LegacyCall& call, const TPMLNode& request, TPMLNode* root) {
    TPMLNode* reply = TPMLTree::AddElement(root, "LOGLIST");
    TPMLTree::SetAttribute(reply, "type", "reply");
    // Every key is read before anything is done, so a bad one leaves the store as it was.
    if (const std::optional<std::string> bad = BadDateKey(request)) {
        AddLegacyError(reply, legacy_error::kBadRequest,
                       "a date key is YYYYMM or YYYYMMDDDD, not '" + *bad + "'");
        return;
    }
    for (const TPMLNode* child = request.FirstChild(); child; child = child->Next()) {
        if (!child->IsElement()) continue;
        if (IsListing(child->Name())) {
            AnswerListing(call, *child, reply);
        } else if (child->Name() == "DROP") {
            AnswerDrop(call, *child, reply);
        } else if (child->Name() == "CANCEL") {
            AnswerCancel(call, *child, reply);
        }
    }
}

void AnswerLogDetail(const LegacyCall& call, const TPMLNode& request, TPMLNode* root) {
    TPMLNode* reply = TPMLTree::AddElement(root, "LOGDETAIL");
    TPMLTree::SetAttribute(reply, "type", "reply");
    const std::vector<const TPMLNode*> asked = Children(request, "REFER");
    for (const TPMLNode* entry : asked) {
        const LogKey key = KeyOf(*entry);
        if (!IsMonthKey(key.date) || !ParseIndex(key.index)) {
            AddLegacyError(reply, legacy_error::kBadRequest,
                           "a transfer is named by its month YYYYMM and its index, not '" + key.date +
                               "' and '" + key.index + "'");
            return;
        }
    }
    for (const TPMLNode* entry : asked) AnswerDetail(call, *entry, reply);
}

}  // namespace vexa::sandbox
