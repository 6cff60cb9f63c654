// A TCP connection to an IPv4 peer whose every wait is bounded: the platform's sockets behind one
// interface, so the exchange above it is written once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace VexaCore {

class TcpConnection {
public:
    // host: a dotted IPv4 address or a name, resolved to IPv4 only (its first address). Nullopt
    // when resolution, the socket or the connection fails, or connecting takes longer than
    // `timeout`.
    static std::optional<TcpConnection> Open(const std::string& host, uint16_t port,
                                             std::chrono::milliseconds timeout);

    TcpConnection(TcpConnection&& other) noexcept;
    TcpConnection& operator=(TcpConnection&&) = delete;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;
    // Shuts the connection down in both directions, then closes the socket.
    ~TcpConnection();

    // Sends some of bytes (at least one): how many went out, or 0 when the peer is gone, an error
    // occurred, or nothing could be sent for `stall`.
    size_t SendSome(std::string_view bytes, std::chrono::milliseconds stall);
    // Receives at most into.size() bytes (at least one): how many came, or 0 when the peer closed,
    // an error occurred, or nothing came for `stall`.
    size_t ReceiveSome(std::span<char> into, std::chrono::milliseconds stall);

private:
    using Handle = std::uintptr_t;  // a descriptor, or a Windows SOCKET
    static constexpr Handle kNoHandle = ~Handle{0};
    explicit TcpConnection(Handle handle) noexcept : handle_(handle) {}

    Handle handle_;
};

}  // namespace VexaCore
