#include "loopback_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>

namespace vexa::test {

namespace {

constexpr int kReceiveBuffer = 64 * 1024;

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

LoopbackListener ListenOnLoopback(uint16_t port) {
    LoopbackListener out;
    out.stop = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (out.stop.Get() < 0) Fail("eventfd");
    out.listener = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (out.listener.Get() < 0) Fail("socket");
    ::setsockopt(out.listener.Get(), SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    // A server started again on the port of one just stopped takes it back at once.
    const int yes = 1;
    ::setsockopt(out.listener.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (::bind(out.listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Fail("bind");
    if (::listen(out.listener.Get(), 16) != 0) Fail("listen");
    if (::getsockname(out.listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        Fail("getsockname");
    out.port = ntohs(address.sin_port);
    return out;
}

}  // namespace vexa::test
