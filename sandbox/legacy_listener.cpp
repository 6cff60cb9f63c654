#include "sandbox/legacy_listener.h"

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <tuple>

#include "legacy/protocol/packet_frame.h"
#include "sandbox/http_server.h"

namespace vexa::sandbox {

namespace {

// Accepted connections that wait for a worker, per worker.
constexpr size_t kPendingPerWorker = 4;
// After a failing accept (out of descriptors, say), before the next try.
constexpr auto kAcceptBackoff = std::chrono::milliseconds(50);

enum class FrameRead { kWhole, kTooLong, kCutShort, kNothing, kTimedOut, kStopped, kFailed };

Deadline After(std::chrono::milliseconds timeout) { return std::chrono::steady_clock::now() + timeout; }

// Reads exactly one frame into `held`, never past it.
FrameRead ReadFrame(int socket, std::string& held, Deadline deadline, int wake) {
    char buffer[64 * 1024];
    for (;;) {
        const std::optional<size_t> missing = VexaCore::MissingFrameBytes(held);
        if (!missing) return FrameRead::kTooLong;
        if (*missing == 0) return FrameRead::kWhole;
        switch (WaitFor(socket, POLLIN, deadline, wake)) {
            case WaitResult::kReady:
                break;
            case WaitResult::kTimedOut:
                return FrameRead::kTimedOut;
            case WaitResult::kWoken:
                return FrameRead::kStopped;
            case WaitResult::kFailed:
                return FrameRead::kFailed;
        }
        const ssize_t got = ::recv(socket, buffer, std::min(*missing, sizeof buffer), 0);
        if (got == 0) return held.empty() ? FrameRead::kNothing : FrameRead::kCutShort;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return FrameRead::kFailed;
        }
        held.append(buffer, static_cast<size_t>(got));
    }
}

bool SendAll(int socket, std::string_view bytes, Deadline deadline) {
    while (!bytes.empty()) {
        if (WaitFor(socket, POLLOUT, deadline, -1) != WaitResult::kReady) return false;
        const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// After the reply, until the client closes: closing with unread bytes from it would reset the
// connection and could destroy the reply before the client has read it.
void DrainUntilClosed(int socket, Deadline deadline, int wake) {
    char buffer[4096];
    while (WaitFor(socket, POLLIN, deadline, wake) == WaitResult::kReady) {
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return;
    }
}

}  // namespace

LegacyListener::LegacyListener(LegacyService& service, LegacyListenerOptions options)
    : service_(service), options_(std::move(options)) {
    std::tie(listener_, port_) =
        ListenOn(options_.port, [this](int port) { return ListenTcp(options_.bindAddress, port); });
    address_ = EndpointHost(options_.bindAddress) + ":" + std::to_string(port_);
    const int workers = std::max(1, options_.workers);
    try {
        for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { WorkLoop(); });
        acceptor_ = std::thread([this] { AcceptLoop(); });
    } catch (...) {
        Stop();
        throw;
    }
}

LegacyListener::~LegacyListener() { Stop(); }

void LegacyListener::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.Signal();
    work_.notify_all();
    room_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
    std::lock_guard lock(mutex_);
    pending_.clear();  // never served: closed unanswered
    listener_.Reset();
}

void LegacyListener::AcceptLoop() {
    const size_t maxPending = kPendingPerWorker * workers_.size();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return stopping_ || pending_.size() < maxPending; });
            if (stopping_) return;
        }
        if (WaitFor(listener_.Get(), POLLIN, kNoDeadline, wake_.ReadEnd()) != WaitResult::kReady) {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            continue;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        UniqueFd socket(::accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                  SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (socket.Get() < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
                std::this_thread::sleep_for(kAcceptBackoff);
            }
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            pending_.push_back({std::move(socket), PeerHost(peer)});
        }
        work_.notify_one();
    }
}

void LegacyListener::WorkLoop() {
    for (;;) {
        Connection connection;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
            if (stopping_) return;
            connection = std::move(pending_.front());
            pending_.pop_front();
        }
        room_.notify_one();
        Serve(connection);
    }
}

void LegacyListener::Serve(const Connection& connection) {
    std::string dropped;
    const std::optional<LegacyAnswer> answer = Answer(connection, dropped);
    if (!answer) {
        Log(connection, dropped);
        return;
    }
    const int version =
        options_.substitute ? VexaCore::kSubstitutedProtocolVersion : VexaCore::kPlainProtocolVersion;
    const std::string frame =
        VexaCore::FramePacket(answer->document, version, VexaCore::kCompressionThreshold);
    const int socket = connection.socket.Get();
    const bool sent = SendAll(socket, frame, After(options_.timeout));
    Log(connection, answer->summary + (sent ? "" : " (dropped: the client did not take the reply)"));
    if (!sent) return;
    ::shutdown(socket, SHUT_WR);
    DrainUntilClosed(socket, After(options_.timeout), wake_.ReadEnd());
}

std::optional<LegacyAnswer> LegacyListener::Answer(const Connection& connection, std::string& dropped) {
    std::string held;
    switch (ReadFrame(connection.socket.Get(), held, After(options_.timeout), wake_.ReadEnd())) {
        case FrameRead::kWhole:
            break;
        case FrameRead::kTooLong:
            return LegacyService::ErrorAnswer(
                legacy_error::kBadFrame,
                "the frame announces more than " + std::to_string(VexaCore::kMaxFrameBytes) + " bytes");
        case FrameRead::kCutShort:
            // The client may still read after closing its side.
            return LegacyService::ErrorAnswer(legacy_error::kBadFrame,
                                              "the connection closed before the frame was whole");
        case FrameRead::kNothing:
            dropped = "closed without a request";
            return std::nullopt;
        case FrameRead::kTimedOut:
            dropped = "dropped: no whole request within " + std::to_string(options_.timeout.count()) + " ms";
            return std::nullopt;
        case FrameRead::kStopped:
            dropped = "dropped: the sandbox is stopping";
            return std::nullopt;
        case FrameRead::kFailed:
            dropped = "dropped: the connection failed";
            return std::nullopt;
    }
    const std::optional<std::string> text = VexaCore::UnframePacket(held);
    if (!text) {
        return LegacyService::ErrorAnswer(legacy_error::kBadFrame,
                                          "the frame's lengths do not add up, or its data does not inflate");
    }
    return service_.Handle(*text, connection.peer);
}

void LegacyListener::Log(const Connection& connection, const std::string& line) const {
    if (options_.log) options_.log("legacy " + connection.peer + " " + line);
}

}  // namespace vexa::sandbox
