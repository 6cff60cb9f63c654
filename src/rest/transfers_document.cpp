#include "rest/transfers_document.h"

#include <cstdio>

namespace vexa {

namespace {

bool IsYes(const std::string& text) { return text == "Y"; }

// Whether a reply answers a detail request: "/transfers/<user>/detail/...". The user ID is a
// segment of its own, so a user whose ID happens to contain "detail" does not count.
bool IsDetailPath(std::string_view path) {
    constexpr std::string_view kPrefix = "/transfers/";
    if (!path.starts_with(kPrefix)) return false;
    path.remove_prefix(kPrefix.size());
    const size_t slash = path.find('/');
    return slash != std::string_view::npos && path.substr(slash + 1).starts_with("detail/");
}

std::string TransfersPath(const ServiceContext& context) {
    return "/transfers/" + PathSegment(context.userId);
}

// The fields a log entry and a transfer's details share, from the children of node.
void ReadSummary(const CRondoXmlParser& xml, xmlNodePtr node, TransferSummary& s) {
    s.index = xml.ChildElementText(node, "index");
    s.date = xml.ChildElementText(node, "date");
    s.type = xml.ChildElementText(node, "type");
    s.isReservation = IsYes(xml.ChildElementText(node, "isReservation"));
    s.phoneSend = xml.ChildElementText(node, "phoneSend");
    s.phoneBack = xml.ChildElementText(node, "phoneBack");
    s.countTotal = ReadDecimal32(xml.ChildElementText(node, "countTotal"));
    s.countSuccess = ReadDecimal32(xml.ChildElementText(node, "countSuccess"));
    s.countFailure = ReadDecimal32(xml.ChildElementText(node, "countFailure"));
    s.message = xml.ChildElementText(node, "message");
    s.timeSend = xml.ChildElementText(node, "timeSend");
    s.timeWrite = xml.ChildElementText(node, "timeWrite");
    s.canCancel = IsYes(xml.ChildElementText(node, "canCancel"));
}

}  // namespace

void CRondoTransfersLogs::LoadFromNode(xmlNodePtr logs) {
    records.clear();
    if (!logs) return;
    for (xmlNodePtr log = xmlFirstElementChild(logs); log; log = xmlNextElementSibling(log)) {
        if (NodeName(log) != "log") continue;
        LogRecord r;
        ReadSummary(*this, log, r);
        r.result = ChildElementText(log, "result");
        records.push_back(std::move(r));
    }
}

void CRondoTransfersLogDetail::LoadFromNode(xmlNodePtr root) {
    TransferDetail& d = detail;
    d.receivers.clear();
    const xmlNodePtr details = FindChildElement(root, "details");
    // Without a receiver list the reply describes no transfer: the fields stay as they are.
    if (!details) return;

    ReadSummary(*this, root, d);
    d.via = ChildElementText(root, "via");
    d.userIp = ChildElementText(root, "userIp");
    d.isDelay = IsYes(ChildElementText(root, "isDelay"));
    d.isRelay = IsYes(ChildElementText(root, "isRelay"));
    d.isBible = IsYes(ChildElementText(root, "isBible"));
    d.isDeleted = IsYes(ChildElementText(root, "isDeleted"));
    d.delType = ChildElementText(root, "delType");
    d.timeDelete = ChildElementText(root, "timeDelete");

    // Replaced like the receivers, so that reading a second reply does not add to the first.
    d.imageUrls.clear();
    if (const xmlNodePtr images = FindChildElement(root, "images")) {
        for (xmlNodePtr image = xmlFirstElementChild(images); image; image = xmlNextElementSibling(image)) {
            if (NodeName(image) != "image") continue;
            std::string url = ChildElementText(image, "url");
            if (!url.empty()) d.imageUrls.push_back(std::move(url));
        }
    }

    for (xmlNodePtr child = xmlFirstElementChild(details); child; child = xmlNextElementSibling(child)) {
        if (NodeName(child) != "detail") continue;
        DetailRecord r;
        r.message = ChildElementText(child, "message");
        r.name = ChildElementText(child, "name");
        r.phoneSend = ChildElementText(child, "phoneSend");
        r.status = ChildElementText(child, "status");
        r.result = ChildElementText(child, "result");
        r.resultDetail = ChildElementText(child, "resultDetail");
        r.tranDate = ChildElementText(child, "tranDate");
        r.tranRsltDate = ChildElementText(child, "tranRsltDate");
        d.receivers.push_back(std::move(r));
    }
}

bool CRondoTransfers::ParseReply() {
    const xmlNodePtr root = ReplyRoot("transfers");
    if (!root) return false;
    if (IsDetailPath(Response().path)) detail.LoadFromNode(root);
    LoadParts(root, "logs", logs);
    return true;
}

std::string CRondoTransfers::LogsPath(const std::string& dateText, int32_t type, bool reservation) const {
    std::string path = TransfersPath(Context()) + "/" + TypeName(type) + "/" + PathSegment(dateText);
    if (reservation) path += "/reservation";
    return path;
}

std::string CRondoTransfers::DetailPath(int32_t year, int32_t month, int32_t type,
                                        const std::string& index) const {
    char month6[32];
    std::snprintf(month6, sizeof month6, "%04d%02d", year, month);
    return TransfersPath(Context()) + "/detail/" + TypeName(type) + "/" + PathSegment(month6) + "/" +
           PathSegment(index);
}

bool CRondoTransfers::RequestLogs(const std::string& dateText, int32_t type, bool reservation) {
    return Execute("GET", LogsPath(dateText, type, reservation), {});
}

bool CRondoTransfers::RequestDetail(int32_t year, int32_t month, int32_t type, const std::string& index) {
    return Execute("GET", DetailPath(year, month, type, index), {});
}

bool CRondoTransfers::RequestDelete(const std::vector<LogKey>& keys) {
    const std::string body = BuildLogsRequest(keys);
    return Execute("DELETE", TransfersPath(Context()), body);
}

bool CRondoTransfers::RequestCancel(const std::vector<LogKey>& keys) {
    const std::string body = BuildLogsRequest(keys);
    return Execute("PUT", TransfersPath(Context()) + "/cancel", body);
}

std::string CRondoTransfers::BuildLogsRequest(const std::vector<LogKey>& keys) {
    const xmlNodePtr root = NewDocument("logs");
    if (!root) return {};
    for (const LogKey& key : keys) {
        const xmlNodePtr log = AddChildElement(root, "log");
        AddTextChild(log, "index", key.index);
        AddTextChild(log, "date", key.date);
        AddTextChild(log, "type", key.type);
    }
    return SerializeDocument();
}

const char* TypeName(int32_t type) {
    switch (type) {
        case 1:
            return "sms";
        case 2:
            return "lms";
        case 3:
            return "mms";
        default:
            return "all";
    }
}

int32_t TypeFromName(std::string_view word) {
    auto equalsIgnoringCase = [word](std::string_view lower) {
        if (word.size() != lower.size()) return false;
        for (size_t i = 0; i < word.size(); ++i) {
            const char c =
                word[i] >= 'A' && word[i] <= 'Z' ? static_cast<char>(word[i] - 'A' + 'a') : word[i];
            if (c != lower[i]) return false;
        }
        return true;
    };
    if (equalsIgnoringCase("sms")) return 1;
    if (equalsIgnoringCase("lms")) return 2;
    if (equalsIgnoringCase("mms")) return 3;
    return 0;
}

}  // namespace vexa
