#include "sandbox/reply_documents.h"

#include <climits>
#include <cstdint>
#include <libxml/tree.h>
#include <memory>

#include "rest/field_table.h"
#include "rest/user_status.h"
#include "rest/xml_document.h"
#include "sandbox/local_time.h"

namespace vexa::sandbox {

namespace {

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

// The account as the component reads its status. The component reads call as a 32-bit number.
CRondoUserStatus StatusOf(const Account& account) {
    CRondoUserStatus status;
    status.userId = account.userId;
    status.userName = account.name;
    status.phoneReturn = account.returnPhones.empty() ? "" : account.returnPhones.front();
    status.phoneReturns = account.returnPhones;
    status.call = static_cast<int32_t>(account.credit > INT32_MAX ? INT32_MAX : account.credit);
    status.free = 0;
    status.payType = "prepaid";
    return status;
}

void WriteStatus(Writer& w, xmlNodePtr parent, const Account& account) {
    WriteFields(w, w.AddChildElement(parent, kStatusElement), kUserStatusFields, StatusOf(account));
}

void WriteInfo(Writer& w, const ReplyContext& context, const ReplyError* error = nullptr) {
    const xmlNodePtr info = w.AddChildElement(w.Root(), kInfoElement);
    if (context.account) WriteStatus(w, info, *context.account);
    CRondoUserInfo fields;
    fields.selfLink = context.selfUrl;
    if (error) {
        fields.errorCode = error->code;
        fields.errorMessage = error->message;
        WriteFields(w, w.AddChildElement(info, kErrorElement), kErrorFields, fields);
    }
    WriteFields(w, w.AddChildElement(info, kLinksElement), kLinksFields, fields);
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
    const xmlNodePtr list = w.AddChildElement(w.Root(), kReplyReceivers.list);
    for (const ReceiverRecord& r : receivers) {
        const xmlNodePtr receiver = w.AddChildElement(list, kReplyReceivers.item);
        WriteFields(w, receiver, kReplyReceiverFields, r);
        w.AddTextChild(receiver, "sendtime", r.sendTime > 0 ? FormatLocalTime(r.sendTime) : "");
    }
    WriteInfo(w, context);
    return w.Utf8();
}

std::string LogsReply(const std::vector<LogRecord>& records, LogsShape shape, const ReplyContext& context) {
    Writer w("transfers");
    const xmlNodePtr logs = w.AddChildElement(w.Root(), kLogList.list);
    for (const LogRecord& r : records) {
        const xmlNodePtr log = w.AddChildElement(logs, kLogList.item);
        if (shape == LogsShape::kList) {
            WriteFields(w, log, kTransferSummaryFields, r);
            continue;
        }
        WriteFields(w, log, kTransferKeyFields, r);
        if (shape == LogsShape::kCancel) WriteFields(w, log, kTransferCountFields, r);
        WriteFields(w, log, kLogResultFields, r);
    }
    WriteInfo(w, context);
    return w.Utf8();
}

std::string DetailReply(const TransferDetail* detail, const ReplyContext& context) {
    Writer w("transfers");
    if (detail) {
        const xmlNodePtr root = w.Root();
        WriteFields(w, root, kTransferSummaryFields, *detail);
        WriteFields(w, root, kTransferSubjectFields, *detail);
        WriteFields(w, root, kTransferDetailFields, *detail);
        const xmlNodePtr images = w.AddChildElement(root, kImageList.list);
        for (const std::string& url : detail->imageUrls) {
            w.AddTextChild(w.AddChildElement(images, kImageList.item), kImageUrl, url);
        }
        const xmlNodePtr details = w.AddChildElement(root, kDetailList.list);
        for (const DetailRecord& r : detail->receivers) {
            WriteFields(w, w.AddChildElement(details, kDetailList.item), kDetailRecordFields, r);
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
