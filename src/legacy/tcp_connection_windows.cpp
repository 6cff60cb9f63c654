// TCP over Windows Sockets 2, non-blocking, with select bounding every wait. The front object
// has started Windows Sockets before any connection is opened.
#include <winsock2.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <ws2tcpip.h>

#include "legacy/tcp_connection.h"
#include "platform/c_handle.h"

namespace VexaCore {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The first IPv4 address of host; a dotted address is taken as it is, without asking DNS.
std::optional<sockaddr_in> Resolve(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    const vexa::CHandle<addrinfo, freeaddrinfo> owner(found);
    if (found->ai_family != AF_INET || found->ai_addrlen < sizeof(sockaddr_in)) return std::nullopt;
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    address.sin_port = htons(port);
    return address;
}

enum class Readiness { kRead, kWrite };

// Waits until the socket is ready (or has failed, which the next call reports); false when the
// time-out passes first or select fails. A failed connect shows in the exception set.
bool WaitFor(SOCKET socket, Readiness readiness, milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
        const long long left =
            std::max<long long>(std::chrono::ceil<milliseconds>(deadline - Clock::now()).count(), 0);
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        timeval wait{static_cast<long>(std::min<long long>(left / 1000, LONG_MAX)),
                     static_cast<long>(left % 1000 * 1000)};
        const int n = readiness == Readiness::kRead ? select(0, &ready, nullptr, &failed, &wait)
                                                    : select(0, nullptr, &ready, &failed, &wait);
        if (n > 0) return true;
        if (n == 0 || WSAGetLastError() != WSAEINTR) return false;
    }
}

bool Connect(SOCKET socket, const sockaddr_in& address, milliseconds timeout) {
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    if (!WaitFor(socket, Readiness::kWrite, timeout)) return false;
    int error = 0;
    int length = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
           error == 0;
}

SOCKET Socket(std::uintptr_t handle) { return static_cast<SOCKET>(handle); }

// send and recv take an int count.
int Clamped(size_t size) { return static_cast<int>(std::min<size_t>(size, INT_MAX)); }

}  // namespace

std::optional<TcpConnection> TcpConnection::Open(const std::string& host, uint16_t port,
                                                 milliseconds timeout) {
    const std::optional<sockaddr_in> address = Resolve(host, port);
    if (!address) return std::nullopt;
    const SOCKET socket =
        WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) return std::nullopt;
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0 || !Connect(socket, *address, timeout)) {
        closesocket(socket);
        return std::nullopt;
    }
    return TcpConnection(static_cast<Handle>(socket));
}

TcpConnection::TcpConnection(TcpConnection&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)) {}

TcpConnection::~TcpConnection() {
    if (handle_ == kNoHandle) return;
    shutdown(Socket(handle_), SD_BOTH);
    closesocket(Socket(handle_));
}

size_t TcpConnection::SendSome(std::string_view bytes, milliseconds stall) {
    while (true) {
        const int n = send(Socket(handle_), bytes.data(), Clamped(bytes.size()), 0);
        if (n > 0) return static_cast<size_t>(n);
        if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return 0;
        if (!WaitFor(Socket(handle_), Readiness::kWrite, stall)) return 0;
    }
}

size_t TcpConnection::ReceiveSome(std::span<char> into, milliseconds stall) {
    while (true) {
        const int n = recv(Socket(handle_), into.data(), Clamped(into.size()), 0);
        if (n > 0) return static_cast<size_t>(n);
        if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return 0;  // closed, or an error
        if (!WaitFor(Socket(handle_), Readiness::kRead, stall)) return 0;
    }
}

}  // namespace VexaCore
