// The legacy exchange over Windows Sockets, under Wine, against a peer on loopback in this program
// that plays each case: replies cut into pieces, a request larger than the socket buffers, every
// frame form, frames that lie about their length, a silent peer, nobody listening. One line per
// check, a final sentinel line, and the exit status is the number of failures.
#include <winsock2.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <ws2tcpip.h>

#include "legacy/protocol/packet_frame.h"
#include "legacy/sync_socket.h"

namespace {

using namespace std::chrono_literals;
using Quill::CTPMLParser;
using VexaCore::CAtlSyncSocket;

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

constexpr CAtlSyncSocket::Timeouts kPatient{10s, 10s, 10s};
constexpr CAtlSyncSocket::Timeouts kImpatient{300ms, 300ms, 300ms};
const std::string kReplyText = "<RESULT>\n\t<CODE>0000</CODE>\n</RESULT>\n";

std::string Serialized(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

std::string Word(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A request of about `length` random letters, which barely compress.
struct Request : CTPMLParser {
    explicit Request(size_t length) {
        std::mt19937 random(1090);
        std::string text(length, ' ');
        for (char& c : text) c = static_cast<char>('a' + random() % 26);
        AddElement(AddElement(Root(), "SEND"), "CONTENT", text);
    }
};

class Socket {
public:
    explicit Socket(SOCKET s = INVALID_SOCKET) : s_(s) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    SOCKET Get() const { return s_; }

private:
    SOCKET s_;
};

// One frame as the peer reads it; empty when the client closed first.
std::string ReadFrame(SOCKET s) {
    std::string held;
    char chunk[64 * 1024];
    while (true) {
        const std::optional<size_t> missing = VexaCore::MissingFrameBytes(held);
        if (!missing || *missing == 0) return held;
        const int n = recv(s, chunk, static_cast<int>(std::min(*missing, sizeof chunk)), 0);
        if (n <= 0) return {};
        held.append(chunk, static_cast<size_t>(n));
    }
}

void SendAll(SOCKET s, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const int n = send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// A listener on loopback whose one connection the case's peer function serves.
class Peer {
public:
    Peer() : listener_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_.Get(), 4);
        getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    uint16_t Port() const { return port_; }

    // Serves one connection on a thread of its own while the client exchanges: reads the request's
    // frame after `delay`, then acts. What the peer read is returned.
    std::string Serve(const std::function<void(SOCKET)>& act, const std::function<void()>& client,
                      std::chrono::milliseconds delay = 0ms) {
        std::string request;
        std::thread server([&] {
            const Socket connection(accept(listener_.Get(), nullptr, nullptr));
            std::this_thread::sleep_for(delay);
            request = ReadFrame(connection.Get());
            act(connection.Get());
        });
        client();
        server.join();
        return request;
    }

private:
    Socket listener_;
    uint16_t port_ = 0;
};

void Exchanges() {
    const std::string plainReply = VexaCore::FramePacket(kReplyText, VexaCore::kPlainProtocolVersion, -1);
    std::string longReplyText = "<RESULT>\n";
    for (int i = 0; i < 200; ++i) longReplyText += "\t<LINE>" + std::to_string(i) + "</LINE>\n";
    longReplyText += "</RESULT>\n";
    struct Case {
        const char* name;
        std::string reply;     // sent once the request is whole
        size_t piece;          // sent in pieces of this many bytes
        std::string expected;  // the reply text parsed; empty: the exchange fails
    } cases[] = {
        {"a plain reply", plainReply, 1 << 20, kReplyText},
        {"a reply in one-byte pieces", plainReply, 1, kReplyText},
        {"a compressed reply", VexaCore::FramePacket(longReplyText, VexaCore::kPlainProtocolVersion, 1024), 7,
         longReplyText},
        {"a substituted reply",
         VexaCore::FramePacket(kReplyText, VexaCore::kSubstitutedProtocolVersion, 1024), 3, kReplyText},
        {"a frame announcing more than it holds before the close", Word(100) + "<RESULT/>", 1 << 20, ""},
        {"a frame announced above the limit", Word(VexaCore::kMaxFrameBytes + 1) + "<RESULT/>", 1 << 20, ""},
        {"a compressed frame whose body length is 0", Word(0x80000000u | 8) + Word(0) + "xxxx", 1 << 20, ""},
        {"a reply that is not markup", VexaCore::FramePacket("<RESULT", VexaCore::kPlainProtocolVersion, -1),
         1 << 20, ""},
    };
    for (const Case& c : cases) {
        Peer peer;
        const Request request(100);
        CTPMLParser reply;
        int result = -1;
        const std::string received = peer.Serve(
            [&](SOCKET s) {
                for (size_t at = 0; at < c.reply.size(); at += c.piece) {
                    SendAll(s, c.reply.substr(at, c.piece));
                    if (c.piece < 8) std::this_thread::sleep_for(1ms);
                }
            },
            [&] { result = CAtlSyncSocket("localhost", peer.Port(), kPatient).Exchange(request, reply); });
        const std::string name = std::string("exchange: ") + c.name;
        if (c.expected.empty()) {
            Check(result == 0, name + " fails");
        } else {
            Check(result == 1 && Serialized(reply) == c.expected, name + " is read whole");
            Check(
                received == VexaCore::FramePacket(Serialized(request), VexaCore::kPlainProtocolVersion, 1024),
                name + ": the peer got the request's frame");
        }
    }
}

void LargeRequest() {
    // Several megabytes that the peer only starts reading later: the send waits for room.
    Peer peer;
    const Request request(6u << 20);
    CTPMLParser reply;
    int result = -1;
    const std::string expected =
        VexaCore::FramePacket(Serialized(request), VexaCore::kPlainProtocolVersion, 1024);
    const std::string received = peer.Serve(
        [](SOCKET s) { SendAll(s, VexaCore::FramePacket(kReplyText, VexaCore::kPlainProtocolVersion, -1)); },
        [&] { result = CAtlSyncSocket("127.0.0.1", peer.Port(), kPatient).Exchange(request, reply); }, 500ms);
    Check(result == 1 && received == expected,
          "exchange: a request of " + std::to_string(expected.size()) + " frame bytes arrives whole");
}

void Failures() {
    {
        Peer silent;
        const Request request(10);
        CTPMLParser reply;
        int result = -1;
        silent.Serve([](SOCKET) { std::this_thread::sleep_for(1500ms); },
                     [&] {
                         result =
                             CAtlSyncSocket("127.0.0.1", silent.Port(), kImpatient).Exchange(request, reply);
                     });
        Check(result == 0, "exchange: a peer that says nothing fails");
    }
    const Request request(10);
    CTPMLParser reply;
    uint16_t closedPort = 0;
    {
        Peer gone;
        closedPort = gone.Port();
    }
    Check(CAtlSyncSocket("127.0.0.1", closedPort, kImpatient).Exchange(request, reply) == 0,
          "exchange: nobody listening fails");
    Check(CAtlSyncSocket("no-such-host.invalid", 4545, kImpatient).Exchange(request, reply) == 0,
          "exchange: a name that does not resolve fails");
    Check(CAtlSyncSocket("", 4545, kImpatient).Exchange(request, reply) == 0,
          "exchange: an empty host fails");
}

}  // namespace

int main() {
    WSADATA data{};
    Check(WSAStartup(MAKEWORD(2, 2), &data) == 0, "WSAStartup 2.2");
    Exchanges();
    LargeRequest();
    Failures();
    WSACleanup();
    std::printf("DONE %d failed\n", failures);
    return failures;
}
