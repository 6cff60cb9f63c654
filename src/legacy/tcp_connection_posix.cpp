// TCP over POSIX sockets, non-blocking, with poll bounding every wait.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include "legacy/tcp_connection.h"
#include "platform/c_handle.h"

namespace VexaCore {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

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

bool Connect(int fd, const sockaddr_in& address, milliseconds timeout) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    if (!WaitFor(fd, POLLOUT, timeout)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

int Fd(std::uintptr_t handle) { return static_cast<int>(handle); }

}  // namespace

std::optional<TcpConnection> TcpConnection::Open(const std::string& host, uint16_t port,
                                                 milliseconds timeout) {
    const std::optional<sockaddr_in> address = Resolve(host, port);
    if (!address) return std::nullopt;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    if (!Connect(fd, *address, timeout)) {
        ::close(fd);
        return std::nullopt;
    }
    return TcpConnection(static_cast<Handle>(fd));
}

TcpConnection::TcpConnection(TcpConnection&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)) {}

TcpConnection::~TcpConnection() {
    if (handle_ == kNoHandle) return;
    ::shutdown(Fd(handle_), SHUT_RDWR);
    ::close(Fd(handle_));
}

// MSG_NOSIGNAL: a peer that hangs up must give an error here, not SIGPIPE to the host.
size_t TcpConnection::SendSome(std::string_view bytes, milliseconds stall) {
    while (true) {
        const ssize_t n = ::send(Fd(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) return static_cast<size_t>(n);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(Fd(handle_), POLLOUT, stall)) return 0;
        } else if (!(n < 0 && errno == EINTR)) {
            return 0;
        }
    }
}

size_t TcpConnection::ReceiveSome(std::span<char> into, milliseconds stall) {
    while (true) {
        const ssize_t n = ::recv(Fd(handle_), into.data(), into.size(), 0);
        if (n > 0) return static_cast<size_t>(n);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(Fd(handle_), POLLIN, stall)) return 0;
        } else if (!(n < 0 && errno == EINTR)) {
            return 0;  // closed, or an error
        }
    }
}

}  // namespace VexaCore
