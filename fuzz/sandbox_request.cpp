// The sandbox's readers of the documents the component sends. The first byte picks: a send
// request's body or a delete/cancel request's body as received, or fields from which the
// component's own writer makes such a document. What the component writes, the sandbox reads
// back field for field: in UTF-8 where the component holds local text, and with a "?" for each
// control character that XML cannot carry.
#include <charconv>
#include <string>

#include "automation/text.h"
#include "fuzz_support.h"
#include "rest/messages_document.h"
#include "rest/transfers_document.h"
#include "sandbox/request_documents.h"

namespace {

using namespace vexa;
using fuzz::Check;

int64_t NumberOf(std::string_view text) {
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string AsSent(std::string_view local) {
    std::string text = LocalToUtf8(local);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
    }
    return text;
}

void ReadRaw(std::string_view body, bool send) {
    std::string error;
    const bool read = send ? sandbox::ReadSendRequest(body, error).has_value()
                           : sandbox::ReadLogKeys(body, error).has_value();
    Check(read || !error.empty(), "a refused request is told why");
}

// The message's common fields and flags, its pictures (up to three), then a receiver per four
// fields: phone, name, text, send time (seconds since 1970, 0 for now).
CRondoMessage MessageOf(fuzz::Fields& in) {
    CRondoMessage m;
    const uint8_t flags = in.Byte();
    m.reservation = flags & 1;
    m.free = flags & 2;
    m.sender = in.Next();
    m.message = in.Next();
    m.type = in.Next();
    m.subject = in.Next();
    for (int i = 0; i < ((flags >> 2) & 3); ++i) m.images.emplace_back(in.Next());
    while (!in.Empty()) {
        ReceiverRecord r;
        r.phone = in.Next();
        r.name = in.Next();
        r.message = in.Next();
        r.sendTime = NumberOf(in.Next());
        m.receivers.push_back(std::move(r));
    }
    return m;
}

void RoundTripSend(fuzz::Fields& in) {
    CRondoMessages messages{ServiceContext{}};
    messages.message = MessageOf(in);
    const CRondoMessage& m = messages.message;
    std::string error;
    const std::optional<sandbox::SendRequest> read = sandbox::ReadSendRequest(messages.BuildRequest(), error);
    Check(read.has_value(), "the sandbox reads the send request the component writes");
    Check(read->sender == AsSent(m.sender) && read->message == AsSent(m.message) &&
              read->type == AsSent(m.type) && read->subject == AsSent(m.subject),
          "a send request's texts read back as written");
    Check(read->reservation == m.reservation, "a send request's reservation reads back as written");
    Check(read->count == std::to_string(m.receivers.size()), "a send request's count is its receivers'");
    Check(read->receivers.size() == m.receivers.size(), "a send request's receivers read back as written");
    for (size_t i = 0; i < m.receivers.size(); ++i) {
        const ReceiverRecord& r = m.receivers[i];
        const sandbox::SendRequest::Receiver& got = read->receivers[i];
        // Only a text of its own is written.
        const std::optional<std::string> message =
            r.message != m.message ? std::optional(AsSent(r.message)) : std::nullopt;
        const std::string sendTime = r.sendTime != 0 ? FormatSendTime(r.sendTime) : "systemtime";
        Check(got.phone == AsSent(r.phone) && got.name == AsSent(r.name) && got.message == message &&
                  got.sendTime == sendTime,
              "a receiver reads back as written");
    }
    Check(read->images.size() == m.images.size(), "a send request's pictures read back as written");
    for (size_t i = 0; i < m.images.size(); ++i)
        Check(read->images[i] == AsSent(m.images[i]), "a picture reads back as written");
}

// A log key per three fields: index, date, type word.
void RoundTripKeys(fuzz::Fields& in) {
    std::vector<LogKey> keys;
    while (!in.Empty()) {
        LogKey key;
        key.index = in.Next();
        key.date = in.Next();
        key.type = in.Next();
        keys.push_back(std::move(key));
    }
    CRondoTransfers transfers{ServiceContext{}};
    std::string error;
    const std::optional<std::vector<LogKey>> read =
        sandbox::ReadLogKeys(transfers.BuildLogsRequest(keys), error);
    Check(read.has_value(), "the sandbox reads the log keys the component writes");
    Check(read->size() == keys.size(), "every log key reads back");
    for (size_t i = 0; i < keys.size(); ++i) {
        const LogKey& got = (*read)[i];
        Check(got.index == AsSent(keys[i].index) && got.date == AsSent(keys[i].date) &&
                  got.type == AsSent(keys[i].type),
              "a log key reads back as written");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Fields in(fuzz::AsText(data, size));
    switch (in.Byte() % 4) {
        case 0:
            ReadRaw(in.Rest(), true);
            break;
        case 1:
            ReadRaw(in.Rest(), false);
            break;
        case 2:
            RoundTripSend(in);
            break;
        default:
            RoundTripKeys(in);
            break;
    }
    return 0;
}
