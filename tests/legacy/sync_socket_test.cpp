#include "legacy/sync_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "legacy/protocol/packet_frame.h"
#include "scripted_tcp_server.h"

namespace VexaCore {
namespace {

using namespace std::chrono_literals;
using Quill::CTPMLParser;
using vexa::test::ScriptedTcpServer;
using vexa::test::TcpScript;

// Generous for exchanges that should succeed (a loaded machine must not fail them), short for
// those that are meant to run into a time-out.
constexpr CAtlSyncSocket::Timeouts kPatient{10s, 10s, 10s};
constexpr CAtlSyncSocket::Timeouts kImpatient{200ms, 200ms, 200ms};

const std::string kReplyText = "<RESULT>\n\t<CODE>0000</CODE>\n\t<MESSAGE>accepted</MESSAGE>\n</RESULT>\n";

std::string Serialized(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

struct LoginRequest : CTPMLParser {
    LoginRequest() {
        Quill::TPMLNode* login = AddElement(Root(), "LOGIN");
        AddElement(login, "ID", "someone");
        AddElement(login, "PASSWORD", "secret");
    }
};

// About `length` random letters and digits: they barely compress, so the frame outgrows the
// socket buffers.
struct LargeRequest : CTPMLParser {
    explicit LargeRequest(size_t length) {
        static constexpr std::string_view kAlphabet =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::mt19937 random(1090);
        std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
        std::string text(length, ' ');
        for (char& c : text) c = kAlphabet[pick(random)];
        AddElement(AddElement(Root(), "SEND"), "CONTENT", text);
    }
};

std::string Frame(std::string_view text, int version = kPlainProtocolVersion) {
    return FramePacket(text, version, kCompressionThreshold);
}

std::string Word(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A listening socket that never accepts, its one-place queue already taken by another client:
// the kernel drops further connection attempts, so a connect to it waits.
class FullListener {
public:
    FullListener()
        : listener_(::socket(AF_INET, SOCK_STREAM, 0)), queued_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listener_, 0), 0);
        EXPECT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port_ = ntohs(address.sin_port);
        EXPECT_EQ(::connect(queued_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~FullListener() {
        ::close(queued_);
        ::close(listener_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    uint16_t Port() const { return port_; }

private:
    int listener_;
    int queued_;
    uint16_t port_ = 0;
};

// A port bound on loopback where nothing listens: connecting to it is refused.
class ClosedPort {
public:
    ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() { ::close(fd_); }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    uint16_t Port() const { return port_; }

private:
    int fd_;
    uint16_t port_ = 0;
};

class SyncSocketTest : public testing::Test {
protected:
    CAtlSyncSocket Socket(CAtlSyncSocket::Timeouts timeouts = kPatient) {
        return CAtlSyncSocket("127.0.0.1", server.Port(), timeouts);
    }

    ScriptedTcpServer server{[](std::string_view received) { return MissingFrameBytes(received); }};
};

TEST_F(SyncSocketTest, SendsOnePlainFrameAndParsesTheReply) {
    server.Script({.reply = Frame(kReplyText)});
    const LoginRequest request;
    CTPMLParser reply;
    ASSERT_EQ(Socket().Exchange(request, reply), 1);
    EXPECT_EQ(Serialized(reply), kReplyText);

    const std::vector<std::string> received = server.Requests();
    ASSERT_EQ(received.size(), 1u);
    const std::string requestText = Serialized(request);
    ASSERT_LE(requestText.size(), 1024u);
    EXPECT_EQ(received[0], Word(static_cast<uint32_t>(requestText.size())) + requestText);
}

TEST_F(SyncSocketTest, ReadsAReplyInSmallSegmentsUpToTheEndOfItsFrame) {
    std::string longText = "<LIST>\n";
    while (longText.size() < 2000) longText += "\t<ITEM>1234567890</ITEM>\n";
    longText += "</LIST>\n";
    struct Case {
        const char* what;
        std::string text;
        int version;
    } cases[] = {
        {"plain", kReplyText, kPlainProtocolVersion},
        {"compressed", longText, kPlainProtocolVersion},
        {"substituted", kReplyText, kSubstitutedProtocolVersion},
    };
    for (const Case& c : cases) {
        // A second frame follows at once: reading past the first would spoil it.
        server.Script({.reply = Frame(c.text, c.version) + Frame("<OTHER/>\n"),
                       .pieceSize = 3,
                       .delayBetweenPieces = 1ms});
        CTPMLParser reply;
        EXPECT_EQ(Socket().Exchange(LoginRequest(), reply), 1) << c.what;
        EXPECT_EQ(Serialized(reply), c.text) << c.what;
    }
}

TEST_F(SyncSocketTest, SendsARequestLargerThanTheSocketBuffersWhole) {
    server.Script({.reply = Frame(kReplyText), .delayBeforeReading = 50ms});
    const LargeRequest request(2u << 20);
    CTPMLParser reply;
    ASSERT_EQ(Socket().Exchange(request, reply), 1);

    const std::vector<std::string> received = server.Requests();
    ASSERT_EQ(received.size(), 1u);
    ASSERT_GE(received[0].size(), 8u);
    EXPECT_NE(static_cast<uint8_t>(received[0][3]) & 0x80, 0) << "large requests go out compressed";
    EXPECT_EQ(UnframePacket(received[0]), Serialized(request));
}

TEST_F(SyncSocketTest, FailsWhenTheServerNeverReadsTheRequest) {
    // Larger than what the kernel buffers on both sides can take in.
    server.Script({.ignoreRequest = true});
    CTPMLParser reply;
    EXPECT_EQ(Socket(kImpatient).Exchange(LargeRequest(8u << 20), reply), 0);
}

TEST_F(SyncSocketTest, FailsWhenTheServerStaysSilent) {
    server.Script({.silent = true});
    CTPMLParser reply;
    EXPECT_EQ(Socket(kImpatient).Exchange(LoginRequest(), reply), 0);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(SyncSocketTest, FailsWhenTheServerStallsInTheMiddleOfTheReply) {
    // Half the reply, then nothing: the stall limit applies to every wait, not only the first.
    const std::string frame = Frame(kReplyText);
    server.Script({.reply = frame, .pieceSize = frame.size() / 2, .delayBetweenPieces = 5s});
    CTPMLParser reply;
    EXPECT_EQ(Socket(kImpatient).Exchange(LoginRequest(), reply), 0);
}

TEST_F(SyncSocketTest, FailsOnRepliesThatEndEarlyOrDoNotHoldADocument) {
    const std::string frame = Frame(kReplyText);
    struct Case {
        const char* what;
        std::string reply;
    } cases[] = {
        {"closed without a byte", ""},
        {"closed within the length word", frame.substr(0, 2)},
        {"closed within the body", frame.substr(0, frame.size() - 1)},
        {"compressed with declared length 0", Word(0x80000000u | 6) + Word(0) + "xx"},
        {"data that does not inflate", Word(0x80000000u | 8) + Word(100) + "zzzz"},
        {"announcement above the limit", Word(kMaxFrameBytes + 1) + "<RESULT/>\n"},
        {"text that does not parse", Frame("no markup here")},
    };
    for (const Case& c : cases) {
        server.Script({.reply = c.reply});
        CTPMLParser reply;
        EXPECT_EQ(Socket().Exchange(LoginRequest(), reply), 0) << c.what;
    }
}

TEST(SyncSocket, FailsWhenTheConnectionIsRefused) {
    const ClosedPort port;
    CTPMLParser reply;
    EXPECT_EQ(CAtlSyncSocket("127.0.0.1", port.Port(), kImpatient).Exchange(LoginRequest(), reply), 0);
}

TEST(SyncSocket, FailsWhenConnectingTakesTooLong) {
    const FullListener listener;
    CTPMLParser reply;
    EXPECT_EQ(CAtlSyncSocket("127.0.0.1", listener.Port(), kImpatient).Exchange(LoginRequest(), reply), 0);
}

TEST(SyncSocket, FailsWhenTheHostDoesNotResolve) {
    for (const char* host : {"no-such-host.invalid", ""}) {
        CTPMLParser reply;
        EXPECT_EQ(CAtlSyncSocket(host, 9, kImpatient).Exchange(LoginRequest(), reply), 0) << host;
    }
}

TEST(SyncSocket, ResolvesAHostName) {
    ScriptedTcpServer server([](std::string_view received) { return MissingFrameBytes(received); });
    server.Script({.reply = Frame(kReplyText)});
    CTPMLParser reply;
    EXPECT_EQ(CAtlSyncSocket("localhost", server.Port(), kPatient).Exchange(LoginRequest(), reply), 1);
}

}  // namespace
}  // namespace VexaCore
