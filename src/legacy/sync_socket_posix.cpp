// One request/reply exchange over a connection of its own. Every wait is bounded so that a silent
// or stalled server cannot hang the host; the frame itself is the codec's business.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include "legacy/protocol/packet_frame.h"
#include "legacy/sync_socket.h"
#include "platform/c_handle.h"
#include "platform/unique_fd.h"

namespace VexaCore {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A connected (or connecting) socket: shut down in both directions once connected, always closed.
class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (connected_) ::shutdown(fd_.Get(), SHUT_RDWR);
    }
    int Fd() const { return fd_.Get(); }
    bool Valid() const { return fd_.Valid(); }
    void MarkConnected() { connected_ = true; }

private:
    vexa::UniqueFd fd_;  // closed after the shutdown
    bool connected_ = false;
};

// The first IPv4 address of host (a dotted address is taken as it is, without asking DNS).
std::optional<sockaddr_in> Resolve(const std::string& host, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) return address;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    const vexa::CHandle<addrinfo, ::freeaddrinfo> owner(found);
    if (found->ai_family != AF_INET || found->ai_addrlen < sizeof(sockaddr_in)) return std::nullopt;
    std::memcpy(&address, found->ai_addr, sizeof address);
    address.sin_port = htons(port);
    return address;
}

// Waits until fd shows one of events (or an error or hang-up, which the next call reports);
// false when the time-out passes first or poll fails.
bool WaitFor(int fd, short events, milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    pollfd entry{fd, events, 0};
    while (true) {
        const milliseconds::rep left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
        const int n = ::poll(&entry, 1, static_cast<int>(std::clamp<milliseconds::rep>(left, 0, INT_MAX)));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool Connect(Connection& connection, const sockaddr_in& address, milliseconds timeout) {
    if (::connect(connection.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return false;
        if (!WaitFor(connection.Fd(), POLLOUT, timeout)) return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(connection.Fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    connection.MarkConnected();
    return true;
}

// Sends every byte; fails when no byte goes out for `stall`. MSG_NOSIGNAL: a peer that hangs up
// must give an error here, not SIGPIPE to the host.
bool SendAll(int fd, std::string_view bytes, milliseconds stall) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, stall)) return false;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

// Reads exactly one frame: never more bytes than it still lacks, so whatever follows it stays in
// the socket. Fails when the peer closes early, announces too much, or sends nothing for `stall`.
std::optional<std::string> ReceiveFrame(int fd, milliseconds stall) {
    std::string held;
    char chunk[64 * 1024];
    while (true) {
        const std::optional<size_t> missing = MissingFrameBytes(held);
        if (!missing) return std::nullopt;
        if (*missing == 0) return held;
        const ssize_t n = ::recv(fd, chunk, std::min(*missing, sizeof chunk), 0);
        if (n > 0) {
            held.append(chunk, static_cast<size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLIN, stall)) return std::nullopt;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return std::nullopt;  // closed before the frame was whole, or an error
        }
    }
}

}  // namespace

CAtlSyncSocket::CAtlSyncSocket(std::string host, uint16_t port, Timeouts timeouts)
    : host_(std::move(host)), port_(port), timeouts_(timeouts) {}

int CAtlSyncSocket::Exchange(const Quill::CTPMLParser& request, Quill::CTPMLParser& reply) {
    std::string text;
    request.Serialize(text);
    const std::string frame = FramePacket(text, kPlainProtocolVersion, kCompressionThreshold);
    if (frame.empty()) return 0;

    const std::optional<sockaddr_in> address = Resolve(host_, port_);
    if (!address) return 0;
    std::optional<std::string> received;
    {
        Connection connection(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!connection.Valid() || !Connect(connection, *address, timeouts_.connect)) return 0;
        if (!SendAll(connection.Fd(), frame, timeouts_.sendStall)) return 0;
        received = ReceiveFrame(connection.Fd(), timeouts_.receiveStall);
    }
    if (!received) return 0;
    const std::optional<std::string> replyText = UnframePacket(*received);
    if (!replyText) return 0;
    return reply.Parse(*replyText) ? 1 : 0;
}

}  // namespace VexaCore
