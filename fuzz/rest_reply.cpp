// The REST reply readers: the first byte picks the document (users, messages, a month's logs, a
// transfer's details), the rest is the body of a 200 reply. Reading the same reply twice into one
// entity leaves what reading it once leaves: a reply replaces what an earlier one filled in, never
// adds to it.
#include <string>
#include <type_traits>
#include <variant>

#include "fuzz_support.h"
#include "rest/entity.h"
#include "rest/messages_document.h"
#include "rest/transfers_document.h"

namespace {

using namespace vexa;

void DescribeText(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
}

// Every field of the table, by its element name: what a reader filled in, comparable as text.
template <class Record, size_t N>
void Describe(std::string& out, const std::type_identity_t<Record>& record,
              const FieldTable<Record, N>& fields) {
    for (const Field<Record>& field : fields) {
        out += field.element;
        out += '=';
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, TextList<Record>>) {
                    for (const std::string& text : record.*(member.member)) DescribeText(out, text);
                } else if constexpr (std::is_same_v<Member, std::string Record::*>) {
                    DescribeText(out, record.*member);
                } else {
                    out += std::to_string(record.*member);
                }
            },
            field.member);
        out += ';';
    }
}

void DescribeStatus(std::string& out, const CRondoUserStatus& status) {
    Describe(out, status, kUserStatusFields);
    Describe(out, status, kNewsFields);
    Describe(out, status, kUpgradeFields);
}

std::string DescribeEntity(const CRondoEntity& entity) {
    std::string out;
    DescribeStatus(out, entity.Info().status);
    Describe(out, entity.Info(), kLinksFields);
    Describe(out, entity.Info(), kErrorFields);
    return out;
}

std::string DescribeUsers(const CRondoUsers& users) {
    std::string out = DescribeEntity(users);
    DescribeStatus(out, users.status);
    return out;
}

std::string DescribeMessages(const CRondoMessages& messages) {
    std::string out = DescribeEntity(messages);
    for (const ReceiverRecord& r : messages.message.receivers) Describe(out, r, kReplyReceiverFields);
    return out;
}

std::string DescribeTransfers(const CRondoTransfers& transfers) {
    std::string out = DescribeEntity(transfers);
    for (const LogRecord& r : transfers.logs.records) {
        Describe<TransferSummary>(out, r, kTransferSummaryFields);
        Describe(out, r, kLogResultFields);
    }
    const TransferDetail& d = transfers.detail.detail;
    Describe<TransferSummary>(out, d, kTransferSummaryFields);
    Describe(out, d, kTransferSubjectFields);
    Describe(out, d, kTransferDetailFields);
    for (const std::string& url : d.imageUrls) DescribeText(out, url);
    for (const DetailRecord& r : d.receivers) Describe(out, r, kDetailRecordFields);
    return out;
}

HttpResponse Reply(std::string_view body, std::string path) {
    HttpResponse response;
    response.status = 200;
    response.contentType = "application/xml";
    response.body = std::string(body);
    response.path = std::move(path);
    return response;
}

template <class Entity, class Describer>
void ReadTwice(std::string_view body, const std::string& path, Describer describe) {
    using vexa::fuzz::Check;
    Entity entity{ServiceContext{}};
    const bool first = entity.ReadReply(Reply(body, path));
    const std::string once = describe(entity);
    const bool second = entity.ReadReply(Reply(body, path));
    Check(first == second, "the same reply reads alike twice");
    Check(describe(entity) == once, "a reply read again replaces what it filled in, never adds to it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vexa::fuzz::Fields input(vexa::fuzz::AsText(data, size));
    const uint8_t which = input.Byte();
    const std::string_view body = input.Rest();
    switch (which % 4) {
        case 0:
            ReadTwice<CRondoUsers>(body, "/users/kim/status", DescribeUsers);
            break;
        case 1:
            ReadTwice<CRondoMessages>(body, "/messages/kim", DescribeMessages);
            break;
        case 2:
            ReadTwice<CRondoTransfers>(body, "/transfers/kim/all/202403", DescribeTransfers);
            break;
        default:
            ReadTwice<CRondoTransfers>(body, "/transfers/kim/detail/mms/202403/17", DescribeTransfers);
            break;
    }
    return 0;
}
