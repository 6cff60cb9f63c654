// A loopback HTTP/1.1 server for the benchmarks: one connection at a time, one request per
// connection, always the same reply (which should say "Connection: close", since the server
// closes after it), the last request kept so a benchmark can check or replay it.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

namespace vexa::bench {

struct Request {
    std::string line;                  // "POST /messages/bench HTTP/1.1"
    std::vector<std::string> headers;  // "Name: value", as sent
    std::string body;
};

// A loopback HTTP/1.1 server on its own thread: one connection at a time, one request per
// connection, always the same reply. It keeps the last request for the checks.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string reply) : reply_(std::move(reply)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_.Get(), 64) != 0 ||
            ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("loopback server");
            std::exit(1);
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        ::shutdown(listener_.Get(), SHUT_RDWR);  // wakes accept
        thread_.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return port_; }
    Request Last() const {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    void Run() {
        while (!stopping_) {
            UniqueFd connection(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.Get() >= 0) Serve(connection.Get());
        }
    }

    void Serve(int fd) {
        std::string in;
        char chunk[16 * 1024];
        size_t headEnd = std::string::npos;
        size_t length = 0;
        while (headEnd == std::string::npos || in.size() < headEnd + 4 + length) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            in.append(chunk, static_cast<size_t>(n));
            if (headEnd == std::string::npos && (headEnd = in.find("\r\n\r\n")) != std::string::npos)
                length = ContentLength(std::string_view(in).substr(0, headEnd));
        }
        Keep(std::string_view(in).substr(0, headEnd), in.substr(headEnd + 4, length));
        std::string_view out = reply_;
        while (!out.empty()) {
            const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
            if (n <= 0) return;
            out.remove_prefix(static_cast<size_t>(n));
        }
        ::shutdown(fd, SHUT_WR);
    }

    static std::vector<std::string> Lines(std::string_view head) {
        std::vector<std::string> lines;
        for (size_t start = 0; start <= head.size();) {
            const size_t end = std::min(head.find("\r\n", start), head.size());
            lines.emplace_back(head.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    static size_t ContentLength(std::string_view head) {
        for (const std::string& line : Lines(head)) {
            if (strncasecmp(line.c_str(), "Content-Length:", 15) == 0)
                return std::strtoul(line.c_str() + 15, nullptr, 10);
        }
        return 0;
    }

    void Keep(std::string_view head, std::string body) {
        std::vector<std::string> lines = Lines(head);
        Request request{lines.front(), {lines.begin() + 1, lines.end()}, std::move(body)};
        std::lock_guard lock(mutex_);
        last_ = std::move(request);
    }

    const std::string reply_;
    UniqueFd listener_{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    Request last_;
    std::thread thread_;  // last: it starts once everything else is ready
};

}  // namespace vexa::bench
