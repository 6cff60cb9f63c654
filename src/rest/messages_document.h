// The messages resource: one send request and its reply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rest/entity.h"
#include "rest/field_table.h"

namespace vexa {

struct ReceiverRecord {
    std::string name;  // request only
    std::string message;
    int64_t sendTime = 0;  // request only: seconds since 1970, 0 for "systemtime", -1 unknown
    std::string phone;
    std::string result;  // reply only ("succeed" for an accepted receiver)
    std::string index;   // reply only
    std::string date;    // reply only
};

// A messages reply's receivers: one receiver element for each receiver of the request.
inline constexpr ListNames kReplyReceivers{"receivers", "receiver"};
inline constexpr auto kReplyReceiverFields = std::to_array<Field<ReceiverRecord>>({
    {"result", &ReceiverRecord::result},
    {"phone", &ReceiverRecord::phone},
    {"index", &ReceiverRecord::index},
    {"date", &ReceiverRecord::date},
    {"message", &ReceiverRecord::message},
});

class CRondoMessage : public CRondoXmlParser {
public:
    // Reads a reply's receivers element: the list then holds the reply's receivers.
    void LoadFromNode(xmlNodePtr receivers) override;

    std::vector<ReceiverRecord> receivers;
    std::string sender;
    std::string message;
    std::string type = "sms";
    std::string subject;
    bool reservation = false;
    bool free = false;
    std::vector<std::string> images;  // data URIs
};

class CRondoMessages : public CRondoEntity {
public:
    using CRondoEntity::CRondoEntity;

    // The request document as it is posted.
    std::string BuildRequest();
    // "POST" of the request document on "/messages/%s".
    bool PostMessages();

    CRondoMessage message;

protected:
    bool ParseReply() override;
};

// A send time as the request writes it: local time, "%Y-%m-%d %H:%M:%S"; empty when the time
// cannot be converted.
std::string FormatSendTime(int64_t seconds);

}  // namespace vexa
