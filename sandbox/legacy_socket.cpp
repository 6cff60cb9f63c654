#include "sandbox/legacy_socket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace vexa::sandbox {

namespace {

constexpr int kBacklog = 64;

int PollTimeout(Deadline deadline) {
    if (deadline == kNoDeadline) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

}  // namespace

std::pair<UniqueFd, int> ListenTcp(const std::string& address, int port) {
    const std::string where = address + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        throw std::runtime_error("legacy listener: cannot listen on " + where + " (not a numeric address)");
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
    UniqueFd socket(::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.Get() < 0) throw std::system_error(errno, std::generic_category(), "legacy listener: socket");
    // Only SO_REUSEADDR, as the HTTP listeners: a restart takes its port back at once, and a port
    // another process listens on is refused.
    const int yes = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(socket.Get(), found->ai_addr, found->ai_addrlen) != 0 ||
        ::listen(socket.Get(), kBacklog) != 0) {
        throw std::runtime_error("legacy listener: cannot listen on " + where);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        throw std::system_error(errno, std::generic_category(), "legacy listener: getsockname");
    }
    const int boundPort = bound.ss_family == AF_INET6
                              ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                              : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return {std::move(socket), boundPort};
}

WakePipe::WakePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "legacy listener: pipe");
    }
    read_ = UniqueFd(ends[0]);
    write_ = UniqueFd(ends[1]);
}

void WakePipe::Signal() const {
    const char byte = 1;
    // Nothing reads the pipe, so one byte keeps it readable; a full pipe is readable already.
    [[maybe_unused]] const ssize_t ignored = ::write(write_.Get(), &byte, 1);
}

WaitResult WaitFor(int fd, short events, Deadline deadline, int wake) {
    pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    const nfds_t count = wake >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(fds, count, PollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return WaitResult::kFailed;
        if (count == 2 && fds[1].revents != 0) return WaitResult::kWoken;
        if (fds[0].revents != 0) return WaitResult::kReady;
        if (ready == 0 && std::chrono::steady_clock::now() >= deadline) return WaitResult::kTimedOut;
    }
}

std::string PeerHost(const sockaddr_storage& address) {
    char host[NI_MAXHOST] = {};
    const socklen_t length = address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, nullptr, 0,
                      NI_NUMERICHOST) != 0) {
        return "?";
    }
    return host;
}

}  // namespace vexa::sandbox
