// A real sandbox's legacy listener on loopback, reached with raw frames: every frame form both
// ways, compression of long replies, the substituted form, malformed frames, stalled clients,
// many clients at once, and a stop while a client stalls.
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <thread>
#include <unistd.h>

#include "legacy/protocol/packet_frame.h"
#include "legacy_fixture.h"
#include "platform/unique_fd.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::AddLogin;
using test::AddSendSms;
using test::CTPMLParser;
using test::Names;
using test::SmsReceiver;
using test::TPMLNode;
using test::TPMLTree;

using Names_ = std::vector<std::string>;

// Only a safeguard against a test hanging for good: no exchange here comes near it.
constexpr int kSafetyMs = 20000;

uint32_t Word(std::string_view bytes, size_t offset) {
    uint32_t word = 0;
    for (size_t i = 0; i < 4; ++i)
        word |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
    return word;
}

std::string LittleEndian(uint32_t word) {
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>((word >> (8 * i)) & 0xFF);
    return bytes;
}

// One connection to the listener, bytes in and out.
class RawClient {
public:
    explicit RawClient(const std::string& address)
        : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const size_t colon = address.rfind(':');
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(colon + 1))));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(address.substr(0, colon), "127.0.0.1");
        EXPECT_EQ(::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0)
            << std::strerror(errno);
    }

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ASSERT_GT(sent, 0) << std::strerror(errno);
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
    }

    void CloseSending() { ::shutdown(socket_.Get(), SHUT_WR); }

    // Everything the listener sends until it closes the connection.
    std::string ReadToEnd() {
        std::string received;
        char buffer[4096];
        for (;;) {
            pollfd fd{socket_.Get(), POLLIN, 0};
            if (::poll(&fd, 1, kSafetyMs) != 1) {
                ADD_FAILURE() << "the listener neither answered nor closed";
                return received;
            }
            const ssize_t got = ::recv(socket_.Get(), buffer, sizeof buffer, 0);
            if (got <= 0) return received;
            received.append(buffer, static_cast<size_t>(got));
        }
    }

private:
    UniqueFd socket_;
};

class LegacyListenerTest : public testing::Test {
protected:
    LegacyListenerTest() { Start(); }

    void Start(bool substitute = false, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        sandbox_.reset();
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.accounts = {{"kim", "secret", 100, "kim", "02-000-0000"}};
        options.legacyPort = 0;
        options.legacySubstitute = substitute;
        options.legacyTimeout = timeout;
        sandbox_ = std::make_unique<Sandbox>(options, clock_.AsClock(), [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        });
    }

    const std::string& Address() const { return sandbox_->GetEndpoints().legacy; }

    // The raw reply frame to a frame.
    std::string Exchange(std::string_view frame) {
        RawClient client(Address());
        client.Send(frame);
        return client.ReadToEnd();
    }

    std::string Exchange(const CTPMLParser& packet, int version = VexaCore::kPlainProtocolVersion,
                         int threshold = VexaCore::kCompressionThreshold) {
        return Exchange(VexaCore::FramePacket(test::Text(packet), version, threshold));
    }

    static std::unique_ptr<CTPMLParser> Unframe(const std::string& frame) {
        const std::optional<std::string> text = VexaCore::UnframePacket(frame);
        EXPECT_TRUE(text) << "not one whole frame: " << frame.size() << " bytes";
        return test::ParseDocument(text.value_or(""));
    }

    static std::string ErrorCode(const std::string& frame) {
        const auto reply = Unframe(frame);
        EXPECT_EQ(Names(reply->Root()), Names_{"ERROR"});
        return TPMLTree::GetAttribute(reply->FirstElement(), "code");
    }

    std::vector<std::string> Log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    static CTPMLParser& LoginPacket(CTPMLParser& packet) {
        TPMLTree::AddElement(AddLogin(packet), "STATUS");
        return packet;
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    ManualClock clock_{test::kMarch5};
    std::mutex logMutex_;
    std::vector<std::string> log_;
    std::unique_ptr<Sandbox> sandbox_;
};

TEST_F(LegacyListenerTest, AnswersEveryRequestFormAndIsNamedInTheEndpointsFile) {
    std::ifstream in(dir_.Path() / "endpoints");
    const std::string endpoints{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(Address().starts_with("127.0.0.1:"));
    EXPECT_NE(endpoints.find("\nlegacy=" + Address() + "\n"), std::string::npos) << endpoints;

    struct Form {
        const char* what;
        int version;
        int threshold;
    };
    for (const Form& form : {Form{"plain", VexaCore::kPlainProtocolVersion, VexaCore::kCompressionThreshold},
                             Form{"compressed", VexaCore::kPlainProtocolVersion, 0},
                             Form{"substituted", VexaCore::kSubstitutedProtocolVersion, -1}}) {
        SCOPED_TRACE(form.what);
        CTPMLParser packet;
        const std::string frame = Exchange(LoginPacket(packet), form.version, form.threshold);
        ASSERT_GE(frame.size(), 4u);
        EXPECT_EQ(Word(frame, 0), frame.size() - 4);  // a short reply goes plain
        const auto reply = Unframe(frame);
        ASSERT_EQ(Names(reply->Root()), Names_{"USER"});
        const TPMLNode* login = TPMLTree::FindChild(reply->FirstElement(), "LOGIN");
        EXPECT_EQ(TPMLTree::GetAttribute(login, "result"), "succeed");
        EXPECT_EQ(TPMLTree::GetChildText(TPMLTree::FindChild(reply->FirstElement(), "STATUS"), "CALL"),
                  "100");
    }
    const std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log.back().starts_with("legacy 127.0.0.1 kim USER ")) << log.back();
}

TEST_F(LegacyListenerTest, AReplyOver1024BytesArrivesCompressed) {
    CTPMLParser packet;
    AddLogin(packet);
    AddSendSms(packet, std::vector<SmsReceiver>(40, SmsReceiver{"010-1234-5678"}));
    const std::string frame = Exchange(packet);
    ASSERT_GE(frame.size(), 8u);
    EXPECT_NE(Word(frame, 0) & 0x80000000u, 0u);
    EXPECT_EQ((Word(frame, 0) & 0x7FFFFFFFu) + 4, frame.size());
    const std::optional<std::string> text = VexaCore::UnframePacket(frame);
    ASSERT_TRUE(text);
    EXPECT_EQ(Word(frame, 4), text->size());
    EXPECT_GT(text->size(), 1024u);
    const auto reply = test::ParseDocument(*text);
    EXPECT_EQ(test::Elements(TPMLTree::FindChild(reply->Root(), "SENDSMS"), "RESULT").size(), 40u);

    // Stored as the REST side shows it, with the client's address.
    Store& store = sandbox_->GetStore();
    const Transfer stored = *store.FindTransfer(store.FindAccount("kim")->id, {"202403", 1});
    EXPECT_EQ(stored.via, "legacy");
    EXPECT_EQ(stored.userIp, "127.0.0.1");
    EXPECT_EQ(stored.receivers.size(), 40u);
}

TEST_F(LegacyListenerTest, WithSubstitutionEveryReplyIsSubstitutedAndNeverCompressed) {
    Start(/*substitute=*/true);
    for (const size_t receivers : {1, 40}) {
        SCOPED_TRACE(receivers);
        CTPMLParser packet;
        AddLogin(packet);
        AddSendSms(packet, std::vector<SmsReceiver>(receivers, SmsReceiver{"010-1234-5678"}));
        const std::string frame = Exchange(packet);
        ASSERT_GE(frame.size(), 13u);
        EXPECT_EQ(Word(frame, 0), frame.size() - 4);
        EXPECT_EQ(frame.substr(4, 8), "[PV1090]");
        const auto reply = Unframe(frame);
        EXPECT_EQ(Names(reply->Root()), (Names_{"USER", "SENDSMS"}));
    }
}

TEST_F(LegacyListenerTest, AMalformedFrameIsAnsweredWithAnError) {
    struct Case {
        const char* what;
        std::string frame;
        bool closeSending;
        const char* code;
    };
    const Case cases[] = {
        {"announces more than 16 MiB", LittleEndian(VexaCore::kMaxFrameBytes + 1) + "<USER>", false,
         legacy_error::kBadFrame},
        {"compressed data that does not inflate", LittleEndian(0x80000000u | 9) + LittleEndian(100) + "junk!",
         false, legacy_error::kBadFrame},
        {"compressed to nothing", LittleEndian(0x80000000u | 4) + LittleEndian(0), false,
         legacy_error::kBadFrame},
        {"cut short", LittleEndian(100) + "<USER type=", true, legacy_error::kBadFrame},
        {"a text that does not parse", VexaCore::FramePacket("<USER>\n<LOGIN", 4545, 1024), false,
         legacy_error::kBadDocument},
        {"a packet without login", VexaCore::FramePacket("<STATUS/>\n", 4545, 1024), false,
         legacy_error::kNoLogin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawClient client(Address());
        client.Send(c.frame);
        if (c.closeSending) client.CloseSending();
        EXPECT_EQ(ErrorCode(client.ReadToEnd()), c.code);
    }
    // The listener is none the worse for them.
    CTPMLParser packet;
    EXPECT_EQ(Names(Unframe(Exchange(LoginPacket(packet)))->Root()), Names_{"USER"});
}

TEST_F(LegacyListenerTest, AClientThatStallsIsDropped) {
    Start(false, std::chrono::milliseconds(100));
    CTPMLParser packet;
    const std::string frame = VexaCore::FramePacket(test::Text(LoginPacket(packet)), 4545, 1024);
    for (const size_t sent : {size_t{0}, size_t{2}, frame.size() - 1}) {
        SCOPED_TRACE(sent);
        RawClient client(Address());
        client.Send(std::string_view(frame).substr(0, sent));
        EXPECT_EQ(client.ReadToEnd(), "");
    }
    size_t dropped = 0;
    for (const std::string& line : Log())
        dropped += line.find("dropped: no whole request") != std::string::npos;
    EXPECT_EQ(dropped, 3u);
    // A client that closes without asking anything is no error.
    RawClient(Address()).CloseSending();
    EXPECT_EQ(Names(Unframe(Exchange(frame))->Root()), Names_{"USER"});
}

TEST_F(LegacyListenerTest, StoppingDropsAStalledClientAtOnce) {
    Start(false, std::chrono::minutes(10));
    RawClient stalled(Address());
    stalled.Send(LittleEndian(100));
    sandbox_->Stop();
    EXPECT_EQ(stalled.ReadToEnd(), "");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "endpoints"));
}

TEST_F(LegacyListenerTest, ClientsAtOnceAreAllServedWithDistinctIndexes) {
    constexpr int kClients = 6;
    constexpr int kSends = 4;
    std::vector<std::vector<std::string>> indexes(kClients);
    {
        std::vector<std::jthread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                for (int i = 0; i < kSends; ++i) {
                    CTPMLParser packet;
                    AddLogin(packet);
                    AddSendSms(packet, {{"010-1111-2222"}});
                    const std::optional<std::string> text = VexaCore::UnframePacket(Exchange(packet));
                    CTPMLParser reply;
                    if (!text || !reply.Parse(*text)) continue;
                    const TPMLNode* result =
                        TPMLTree::FindChild(TPMLTree::FindChild(reply.Root(), "SENDSMS"), "RESULT");
                    indexes[c].push_back(TPMLTree::GetAttribute(result, "index"));
                }
            });
        }
    }
    std::set<std::string> distinct;
    for (const auto& perClient : indexes) distinct.insert(perClient.begin(), perClient.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kClients * kSends));
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, 100 - kClients * kSends);
}

}  // namespace
}  // namespace vexa::sandbox
