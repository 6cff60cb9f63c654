#include "sandbox/reply_documents.h"

#include <climits>
#include <cstdint>
#include <libxml/tree.h>
#include <memory>

#include "rest/xml_document.h"
#include "sandbox/local_time.h"

namespace vexa::sandbox {

namespace {

const char* YesNo(bool value) { return value ? "Y" : "N"; }

// The component's tree helpers over UTF-8 text.
class Writer : public CRondoXmlParser {
public:
    explicit Writer(std::string_view rootName) {
        SetConversion(false);
        root_ = NewDocument(rootName);
    }
    void LoadFromNode(xmlNodePtr) override {}

    xmlNodePtr Root() const { return root_; }

    std::string Utf8() const {
        xmlChar* buffer = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(Document(), &buffer, &size, "UTF-8", 1);
        const XmlText owned(buffer);
        if (!owned || size <= 0) return {};
        return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<size_t>(size));
    }

private:
    xmlNodePtr root_ = nullptr;
};

std::string Number(int64_t value) { return std::to_string(value); }

void WriteStatus(Writer& w, xmlNodePtr parent, const Account& account) {
    const xmlNodePtr status = w.AddChildElement(parent, "status");
    w.AddTextChild(status, "userid", account.userId);
    w.AddTextChild(status, "username", account.name);
    w.AddTextChild(status, "phoneReturn", account.returnPhones.empty() ? "" : account.returnPhones.front());
    const xmlNodePtr phones = w.AddChildElement(status, "phoneReturns");
    for (const std::string& phone : account.returnPhones) w.AddTextChild(phones, "phoneReturn", phone);
    // The component reads call as a 32-bit number.
    w.AddTextChild(status, "call", Number(account.credit > INT32_MAX ? INT32_MAX : account.credit));
    w.AddTextChild(status, "free", "0");
    w.AddTextChild(status, "paytype", "prepaid");
}

void WriteInfo(Writer& w, const ReplyContext& context, const ReplyError* error = nullptr) {
    const xmlNodePtr info = w.AddChildElement(w.Root(), "info");
    if (context.account) WriteStatus(w, info, *context.account);
    if (error) {
        const xmlNodePtr element = w.AddChildElement(info, "error");
        w.AddTextChild(element, "code", error->code);
        w.AddTextChild(element, "message", error->message);
    }
    w.AddTextChild(w.AddChildElement(info, "links"), "self", context.selfUrl);
}

void WriteKey(Writer& w, xmlNodePtr parent, const TransferSummary& s) {
    w.AddTextChild(parent, "index", s.index);
    w.AddTextChild(parent, "date", s.date);
    w.AddTextChild(parent, "type", s.type);
}

void WriteCounts(Writer& w, xmlNodePtr parent, const TransferSummary& s) {
    w.AddTextChild(parent, "countTotal", Number(s.countTotal));
    w.AddTextChild(parent, "countSuccess", Number(s.countSuccess));
    w.AddTextChild(parent, "countFailure", Number(s.countFailure));
}

void WriteSummary(Writer& w, xmlNodePtr parent, const TransferSummary& s) {
    WriteKey(w, parent, s);
    w.AddTextChild(parent, "isReservation", YesNo(s.isReservation));
    w.AddTextChild(parent, "phoneSend", s.phoneSend);
    w.AddTextChild(parent, "phoneBack", s.phoneBack);
    WriteCounts(w, parent, s);
    w.AddTextChild(parent, "message", s.message);
    w.AddTextChild(parent, "timeSend", s.timeSend);
    w.AddTextChild(parent, "timeWrite", s.timeWrite);
    w.AddTextChild(parent, "canCancel", YesNo(s.canCancel));
}

}  // namespace

std::string UsersReply(const ReplyContext& context) {
    Writer w("users");
    if (context.account) WriteStatus(w, w.Root(), *context.account);
    WriteInfo(w, context);
    return w.Utf8();
}

std::string MessagesReply(const std::vector<ReceiverRecord>& receivers, const ReplyContext& context) {
    Writer w("messages");
    const xmlNodePtr list = w.AddChildElement(w.Root(), "receivers");
    for (const ReceiverRecord& r : receivers) {
        const xmlNodePtr receiver = w.AddChildElement(list, "receiver");
        w.AddTextChild(receiver, "result", r.result);
        w.AddTextChild(receiver, "phone", r.phone);
        w.AddTextChild(receiver, "index", r.index);
        w.AddTextChild(receiver, "date", r.date);
        w.AddTextChild(receiver, "message", r.message);
        w.AddTextChild(receiver, "sendtime", r.sendTime > 0 ? FormatLocalTime(r.sendTime) : "");
    }
    WriteInfo(w, context);
    return w.Utf8();
}

std::string LogsReply(const std::vector<LogRecord>& records, LogsShape shape, const ReplyContext& context) {
    Writer w("transfers");
    const xmlNodePtr logs = w.AddChildElement(w.Root(), "logs");
    for (const LogRecord& r : records) {
        const xmlNodePtr log = w.AddChildElement(logs, "log");
        if (shape == LogsShape::kList) {
            WriteSummary(w, log, r);
            continue;
        }
        WriteKey(w, log, r);
        if (shape == LogsShape::kCancel) WriteCounts(w, log, r);
        w.AddTextChild(log, "result", r.result);
    }
    WriteInfo(w, context);
    return w.Utf8();
}

std::string DetailReply(const TransferDetail* detail, std::string_view subject, const ReplyContext& context) {
    Writer w("transfers");
    if (detail) {
        const xmlNodePtr root = w.Root();
        WriteSummary(w, root, *detail);
        w.AddTextChild(root, "subject", subject);
        w.AddTextChild(root, "via", detail->via);
        w.AddTextChild(root, "userIp", detail->userIp);
        w.AddTextChild(root, "isDelay", YesNo(detail->isDelay));
        w.AddTextChild(root, "isRelay", YesNo(detail->isRelay));
        w.AddTextChild(root, "isBible", YesNo(detail->isBible));
        w.AddTextChild(root, "isDeleted", YesNo(detail->isDeleted));
        w.AddTextChild(root, "delType", detail->delType);
        w.AddTextChild(root, "timeDelete", detail->timeDelete);
        const xmlNodePtr images = w.AddChildElement(root, "images");
        for (const std::string& url : detail->imageUrls) {
            w.AddTextChild(w.AddChildElement(images, "image"), "url", url);
        }
        const xmlNodePtr details = w.AddChildElement(root, "details");
        for (const DetailRecord& r : detail->receivers) {
            const xmlNodePtr element = w.AddChildElement(details, "detail");
            w.AddTextChild(element, "message", r.message);
            w.AddTextChild(element, "name", r.name);
            w.AddTextChild(element, "phoneSend", r.phoneSend);
            w.AddTextChild(element, "status", r.status);
            w.AddTextChild(element, "result", r.result);
            w.AddTextChild(element, "resultDetail", r.resultDetail);
            w.AddTextChild(element, "tranDate", r.tranDate);
            w.AddTextChild(element, "tranRsltDate", r.tranRsltDate);
        }
    }
    WriteInfo(w, context);
    return w.Utf8();
}

std::string ErrorReply(std::string_view rootName, const ReplyError& error, const ReplyContext& context) {
    Writer w(rootName);
    WriteInfo(w, context, &error);
    return w.Utf8();
}

}  // namespace vexa::sandbox
