// The few socket calls the legacy listener makes: an owned descriptor, a listening socket, and
// waits that end at a deadline or when the listener is told to stop.
#pragma once

#include <chrono>
#include <string>
#include <sys/socket.h>
#include <utility>

#include "platform/unique_fd.h"

namespace vexa::sandbox {

using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();

// A non-blocking TCP socket listening on address (numeric, IPv4 or IPv6) and port (0: a free
// one), and the port it got; throws when it cannot listen.
std::pair<UniqueFd, int> ListenTcp(const std::string& address, int port);

// A pipe whose read end becomes readable, for good, once Signal is called: every wait given it
// ends then.
class WakePipe {
public:
    WakePipe();
    int ReadEnd() const { return read_.Get(); }
    void Signal() const;

private:
    UniqueFd read_;
    UniqueFd write_;
};

enum class WaitResult { kReady, kTimedOut, kWoken, kFailed };
// Waits until fd is ready for `events` (POLLIN, POLLOUT), the deadline passes, or `wake` (-1:
// none) becomes readable. A hung-up or failed socket counts as ready: the next call tells.
WaitResult WaitFor(int fd, short events, Deadline deadline, int wake);

// The numeric host of a peer's address ("127.0.0.1", "::1").
std::string PeerHost(const sockaddr_storage& address);

}  // namespace vexa::sandbox
