#include "scripted_tcp_server.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

#include "loopback_listener.h"

namespace vexa::test {

namespace {

using Descriptor = UniqueFd;

}  // namespace

struct ScriptedTcpServer::State {
    explicit State(RequestEnd end);
    ~State();

    void Run();
    void Serve(int fd);
    // True once fd shows one of events (or an error or hang-up); false when the server stops.
    bool WaitFor(int fd, short events) const;
    // False when the server stops during the pause.
    bool Pause(std::chrono::milliseconds delay) const;
    // Reads no more than the request needs; false when the client leaves first or the server stops.
    bool ReadRequest(int fd, std::string& request) const;
    bool WriteAll(int fd, std::string_view bytes) const;
    bool SendReply(int fd, const TcpScript& script) const;
    // Reads nothing more; returns once the client shuts down its side or the server stops.
    void HoldUntilClientLeaves(int fd) const { WaitFor(fd, POLLRDHUP); }
    TcpScript NextScript();
    void Record(std::string request);

    RequestEnd requestEnd;
    Descriptor stop;  // an eventfd, readable once the server stops
    Descriptor listener;
    uint16_t port = 0;

    mutable std::mutex mutex;
    std::deque<TcpScript> scripts;
    std::vector<std::string> requests;

    std::thread thread;  // last: it starts once everything else is ready
};

ScriptedTcpServer::State::State(RequestEnd end) : requestEnd(std::move(end)) {
    LoopbackListener socket = ListenOnLoopback();
    stop = std::move(socket.stop);
    listener = std::move(socket.listener);
    port = socket.port;
    thread = std::thread([this] { Run(); });
}

ScriptedTcpServer::State::~State() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop.Get(), &one, sizeof one);
    if (thread.joinable()) thread.join();
}

void ScriptedTcpServer::State::Run() {
    // A client that hangs up while the server writes must not end the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (WaitFor(listener.Get(), POLLIN)) {
        const Descriptor connection(
            ::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (connection.Get() < 0) continue;
        // Each piece of a paced reply goes out as a segment of its own.
        const int on = 1;
        ::setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Serve(connection.Get());
    }
}

void ScriptedTcpServer::State::Serve(int fd) {
    const TcpScript script = NextScript();
    if (script.ignoreRequest) return HoldUntilClientLeaves(fd);
    if (!Pause(script.delayBeforeReading)) return;
    std::string request;
    const bool whole = ReadRequest(fd, request);
    Record(std::move(request));
    if (!whole) return;
    if (script.silent) return HoldUntilClientLeaves(fd);
    if (!SendReply(fd, script)) return;
    ::shutdown(fd, SHUT_WR);
    // Closing before the client has read everything could reset the connection under it.
    HoldUntilClientLeaves(fd);
}

bool ScriptedTcpServer::State::WaitFor(int fd, short events) const {
    pollfd fds[2] = {{fd, events, 0}, {stop.Get(), POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
        if (errno != EINTR) return false;
    }
    return (fds[1].revents & POLLIN) == 0;
}

bool ScriptedTcpServer::State::Pause(std::chrono::milliseconds delay) const {
    if (delay.count() <= 0) return true;
    pollfd fd{stop.Get(), POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(delay.count())) == 0;
}

bool ScriptedTcpServer::State::ReadRequest(int fd, std::string& request) const {
    char chunk[16 * 1024];
    while (true) {
        const std::optional<size_t> missing = requestEnd(request);
        if (!missing || *missing == 0) return true;
        if (!WaitFor(fd, POLLIN)) return false;
        const ssize_t n = ::recv(fd, chunk, std::min(*missing, sizeof chunk), 0);
        if (n > 0) {
            request.append(chunk, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
    }
}

bool ScriptedTcpServer::State::WriteAll(int fd, std::string_view bytes) const {
    while (!bytes.empty()) {
        if (!WaitFor(fd, POLLOUT)) return false;
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
    }
    return true;
}

bool ScriptedTcpServer::State::SendReply(int fd, const TcpScript& script) const {
    if (script.pieceSize == 0) return WriteAll(fd, script.reply);
    std::string_view rest = script.reply;
    while (!rest.empty()) {
        const std::string_view piece = rest.substr(0, script.pieceSize);
        rest.remove_prefix(piece.size());
        if (!WriteAll(fd, piece)) return false;
        if (!rest.empty() && !Pause(script.delayBetweenPieces)) return false;
    }
    return true;
}

TcpScript ScriptedTcpServer::State::NextScript() {
    std::lock_guard lock(mutex);
    if (scripts.empty()) return {};
    TcpScript script = std::move(scripts.front());
    scripts.pop_front();
    return script;
}

void ScriptedTcpServer::State::Record(std::string request) {
    std::lock_guard lock(mutex);
    requests.push_back(std::move(request));
}

ScriptedTcpServer::ScriptedTcpServer(RequestEnd requestEnd)
    : state_(std::make_unique<State>(std::move(requestEnd))) {}

ScriptedTcpServer::~ScriptedTcpServer() = default;

uint16_t ScriptedTcpServer::Port() const { return state_->port; }

void ScriptedTcpServer::Script(TcpScript script) {
    std::lock_guard lock(state_->mutex);
    state_->scripts.push_back(std::move(script));
}

std::vector<std::string> ScriptedTcpServer::Requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

}  // namespace vexa::test
