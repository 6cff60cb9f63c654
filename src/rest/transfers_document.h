// The transfers resource: a month's logs, one transfer's details, deleting and cancelling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rest/entity.h"
#include "rest/field_table.h"

namespace vexa {

// What a log entry and a transfer's details both say of the transfer.
struct TransferSummary {
    std::string index;
    std::string date;
    std::string type;
    bool isReservation = false;
    std::string phoneSend;
    std::string phoneBack;
    int32_t countTotal = 0;
    int32_t countSuccess = 0;
    int32_t countFailure = 0;
    std::string message;
    std::string timeSend;
    std::string timeWrite;
    bool canCancel = false;
};

struct LogRecord : TransferSummary {
    std::string result;
};

// What a delete or cancel request sends for one entry.
struct LogKey {
    std::string index;
    std::string date;
    std::string type;  // a type word
};

struct DetailRecord {
    std::string message;
    std::string name;
    std::string phoneSend;
    std::string status;
    std::string result;
    std::string resultDetail;
    std::string tranDate;
    std::string tranRsltDate;
};

struct TransferDetail : TransferSummary {
    std::string subject;
    std::string via;
    std::string userIp;
    bool isDelay = false;
    bool isRelay = false;
    bool isBible = false;
    bool isDeleted = false;
    std::string delType;
    std::string timeDelete;
    std::vector<std::string> imageUrls;
    std::vector<DetailRecord> receivers;
};

// What a log entry and a transfer's details say of the transfer, in document order: its key,
// how it was sent, its counts, then its texts and times.
inline constexpr auto kTransferKeyFields = std::to_array<Field<TransferSummary>>({
    {"index", &TransferSummary::index},
    {"date", &TransferSummary::date},
    {"type", &TransferSummary::type},
});
inline constexpr auto kTransferCountFields = std::to_array<Field<TransferSummary>>({
    {"countTotal", &TransferSummary::countTotal},
    {"countSuccess", &TransferSummary::countSuccess},
    {"countFailure", &TransferSummary::countFailure},
});
inline constexpr auto kTransferSummaryFields =
    JoinFields(kTransferKeyFields,
               std::to_array<Field<TransferSummary>>({
                   {"isReservation", &TransferSummary::isReservation},
                   {"phoneSend", &TransferSummary::phoneSend},
                   {"phoneBack", &TransferSummary::phoneBack},
               }),
               kTransferCountFields,
               std::to_array<Field<TransferSummary>>({
                   {"message", &TransferSummary::message},
                   {"timeSend", &TransferSummary::timeSend},
                   {"timeWrite", &TransferSummary::timeWrite},
                   {"canCancel", &TransferSummary::canCancel},
               }));

// A logs reply: one log element per entry, the summary's fields and, after a delete or cancel,
// the entry's result.
inline constexpr ListNames kLogList{"logs", "log"};
inline constexpr auto kLogResultFields = std::to_array<Field<LogRecord>>({
    {"result", &LogRecord::result},
});

// A detail reply: the transfer's summary and these fields directly under the root, its pictures'
// addresses (an image element with a url each) and a detail element per receiver.
inline constexpr auto kTransferDetailFields = std::to_array<Field<TransferDetail>>({
    {"via", &TransferDetail::via},
    {"userIp", &TransferDetail::userIp},
    {"isDelay", &TransferDetail::isDelay},
    {"isRelay", &TransferDetail::isRelay},
    {"isBible", &TransferDetail::isBible},
    {"isDeleted", &TransferDetail::isDeleted},
    {"delType", &TransferDetail::delType},
    {"timeDelete", &TransferDetail::timeDelete},
});
// The subject of a long or multimedia transfer, read apart: it stands between the summary and the
// fields above.
inline constexpr auto kTransferSubjectFields = std::to_array<Field<TransferDetail>>({
    {"subject", &TransferDetail::subject},
});
inline constexpr ListNames kImageList{"images", "image"};
inline constexpr std::string_view kImageUrl = "url";
inline constexpr ListNames kDetailList{"details", "detail"};
inline constexpr auto kDetailRecordFields = std::to_array<Field<DetailRecord>>({
    {"message", &DetailRecord::message},
    {"name", &DetailRecord::name},
    {"phoneSend", &DetailRecord::phoneSend},
    {"status", &DetailRecord::status},
    {"result", &DetailRecord::result},
    {"resultDetail", &DetailRecord::resultDetail},
    {"tranDate", &DetailRecord::tranDate},
    {"tranRsltDate", &DetailRecord::tranRsltDate},
});

class CRondoTransfersLogs : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr logs) override;
    std::vector<LogRecord> records;
};

class CRondoTransfersLogDetail : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr root) override;
    TransferDetail detail;
};

class CRondoTransfers : public CRondoEntity {
public:
    using CRondoEntity::CRondoEntity;

    // "GET" "/transfers/%s/%s/%s" (user, type word, date text), "/reservation" appended when asked.
    bool RequestLogs(const std::string& dateText, int32_t type, bool reservation);
    // "GET" "/transfers/%s/detail/%s/%04d%02d/%s".
    bool RequestDetail(int32_t year, int32_t month, int32_t type, const std::string& index);
    // "DELETE" "/transfers/%s" with a logs document.
    bool RequestDelete(const std::vector<LogKey>& keys);
    // "PUT" "/transfers/%s/cancel" with a logs document.
    bool RequestCancel(const std::vector<LogKey>& keys);

    // The logs document of a delete or cancel request.
    std::string BuildLogsRequest(const std::vector<LogKey>& keys);
    // The paths RequestLogs and RequestDetail use, each segment escaped.
    std::string LogsPath(const std::string& dateText, int32_t type, bool reservation) const;
    std::string DetailPath(int32_t year, int32_t month, int32_t type, const std::string& index) const;

    CRondoTransfersLogs logs;
    CRondoTransfersLogDetail detail;

protected:
    bool ParseReply() override;
};

// 1 "sms", 2 "lms", 3 "mms", anything else "all".
const char* TypeName(int32_t type);
// Without regard to case: "sms" 1, "lms" 2, "mms" 3, anything else 0.
int32_t TypeFromName(std::string_view word);

}  // namespace vexa
