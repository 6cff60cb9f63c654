#include "rest/transfers_document.h"

#include <cstdio>

namespace vexa {

namespace {

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

}  // namespace

void CRondoTransfersLogs::LoadFromNode(xmlNodePtr logs) {
    records.clear();
    ForEachItem(*this, logs, kLogList.item, [&](xmlNodePtr log) {
        LogRecord r;
        ReadFields(*this, log, kTransferSummaryFields, r);
        ReadFields(*this, log, kLogResultFields, r);
        records.push_back(std::move(r));
    });
}

void CRondoTransfersLogDetail::LoadFromNode(xmlNodePtr root) {
    TransferDetail& d = detail;
    d.receivers.clear();
    const xmlNodePtr details = FindChildElement(root, kDetailList.list);
    // Without a receiver list the reply describes no transfer: the fields stay as they are.
    if (!details) return;

    ReadFields(*this, root, kTransferSummaryFields, d);
    ReadFields(*this, root, kTransferSubjectFields, d);
    ReadFields(*this, root, kTransferDetailFields, d);

    // Replaced like the receivers, so that reading a second reply does not add to the first.
    d.imageUrls.clear();
    ForEachItem(*this, FindChildElement(root, kImageList.list), kImageList.item, [&](xmlNodePtr image) {
        std::string url = ChildElementText(image, kImageUrl);
        if (!url.empty()) d.imageUrls.push_back(std::move(url));
    });

    ForEachItem(*this, details, kDetailList.item, [&](xmlNodePtr child) {
        DetailRecord r;
        ReadFields(*this, child, kDetailRecordFields, r);
        d.receivers.push_back(std::move(r));
    });
}

bool CRondoTransfers::ParseReply() {
    const xmlNodePtr root = ReplyRoot("transfers");
    if (!root) return false;
    if (IsDetailPath(Response().path)) detail.LoadFromNode(root);
    LoadParts(root, kLogList.list, logs);
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
