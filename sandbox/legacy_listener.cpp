#include "sandbox/legacy_listener.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <optional>

#include "legacy/protocol/packet_frame.h"
#include "sandbox/http_server.h"
#include "sandbox/io_listener.h"

namespace vexa::sandbox {

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using error_code = boost::system::error_code;

constexpr size_t kReadChunk = 64 * 1024;
// A stop waits this long for the requests being answered.
constexpr auto kStopWait = std::chrono::seconds(30);

struct Shared {
    LegacyService& service;
    const LegacyListenerOptions options;
    IoRuntime& runtime;
};

class LegacyConnection : public Connection {
public:
    LegacyConnection(tcp::socket socket, std::shared_ptr<const Shared> shared)
        : Connection(socket.get_executor()),
          shared_(std::move(shared)),
          peer_(PeerOf(socket)),
          socket_(std::move(socket)),
          timer_(Executor()) {}

    void Start() override {
        phase_ = Phase::kReading;
        Arm();
        ReadMore();
    }

    void Stop() override {
        if (phase_ == Phase::kReading || phase_ == Phase::kWaitingForRoom) {
            return Drop("dropped: the sandbox is stopping");
        }
        if (phase_ != Phase::kAnswering && phase_ != Phase::kReplying) Close();
    }

private:
    enum class Phase { kReading, kWaitingForRoom, kAnswering, kReplying, kDraining, kClosed };

    static std::string PeerOf(const tcp::socket& socket) {
        error_code ignored;
        return socket.remote_endpoint(ignored).address().to_string();
    }

    std::shared_ptr<LegacyConnection> Self() {
        return std::static_pointer_cast<LegacyConnection>(shared_from_this());
    }
    std::chrono::milliseconds Timeout() const { return shared_->options.timeout; }

    // The request, and again the reply, must be through within the timeout from now.
    void Arm() {
        const unsigned armed = ++armed_;
        timer_.expires_after(Timeout());
        timer_.async_wait([self = Self(), armed](const error_code& ec) {
            if (!ec && armed == self->armed_) self->Expired();
        });
    }

    void Expired() {
        switch (phase_) {
            case Phase::kReading:
            case Phase::kWaitingForRoom:
                return Drop("dropped: no whole request within " + std::to_string(Timeout().count()) + " ms");
            case Phase::kReplying:
                return Drop(summary_ + " (dropped: the client did not take the reply)");
            case Phase::kDraining:
                return Close();
            case Phase::kAnswering:
            case Phase::kClosed:
                return;
        }
    }

    // Reads exactly one frame, never past it, into one buffer of the frame's length.
    void ReadMore() {
        const std::optional<size_t> missing = VexaCore::MissingFrameBytes(held_);
        if (!missing) {
            return Answer(LegacyService::ErrorAnswer(
                legacy_error::kBadFrame,
                "the frame announces more than " + std::to_string(VexaCore::kMaxFrameBytes) + " bytes"));
        }
        if (*missing == 0) return Answer(std::nullopt);
        if (held_.size() >= 4 && !lease_) return TakeRoom(held_.size() + *missing);
        const size_t held = held_.size();
        const size_t chunk = std::min(*missing, kReadChunk);
        held_.resize(held + chunk);
        socket_.async_read_some(net::buffer(held_.data() + held, chunk),
                                [self = Self(), held](const error_code& ec, size_t got) {
                                    if (self->phase_ == Phase::kClosed) return;
                                    self->held_.resize(held + got);
                                    if (ec) return self->ReadFailed(ec);
                                    self->ReadMore();
                                });
    }

    void ReadFailed(const error_code& ec) {
        if (ec != net::error::eof) return Drop("dropped: the connection failed");
        if (held_.empty()) return Drop("closed without a request");
        // The client may still read after closing its side.
        Answer(LegacyService::ErrorAnswer(legacy_error::kBadFrame,
                                          "the connection closed before the frame was whole"));
    }

    // The frame's share of the body budget, now or once room is given back within the timeout.
    void TakeRoom(size_t frameBytes) {
        BodyBudget& budget = shared_->runtime.Budget();
        if (frameBytes > budget.Capacity()) return Drop("dropped: its frame is larger than the body budget");
        BodyBudget::Attempt attempt =
            budget.Take(frameBytes, [weak = weak_from_this(), executor = Executor()] {
                net::post(executor, [weak] {
                    if (const std::shared_ptr<Connection> self = weak.lock()) {
                        auto& connection = static_cast<LegacyConnection&>(*self);
                        if (connection.phase_ == Phase::kWaitingForRoom) connection.ReadMore();
                    }
                });
            });
        if (!attempt.lease) {
            phase_ = Phase::kWaitingForRoom;
            watch_ = std::move(attempt.watch);
            return;
        }
        phase_ = Phase::kReading;
        watch_.Reset();
        lease_ = std::move(attempt.lease);
        held_.reserve(frameBytes);
        ReadMore();
    }

    // Answers the frame held (or with `known`, an error found while reading it) on a worker.
    void Answer(std::optional<LegacyAnswer> known) {
        phase_ = Phase::kAnswering;
        ++armed_;
        timer_.cancel();
        net::post(shared_->runtime.Workers(), [self = Self(), known = std::move(known),
                                               frame = std::exchange(held_, {}),
                                               lease = std::exchange(lease_, std::nullopt)]() mutable {
            const Shared& shared = *self->shared_;
            LegacyAnswer answer;
            try {
                if (known) {
                    answer = std::move(*known);
                } else if (std::optional<std::string> text = VexaCore::UnframePacket(frame)) {
                    frame = {};
                    answer = shared.service.Handle(*text, self->peer_);
                } else {
                    answer = LegacyService::ErrorAnswer(
                        legacy_error::kBadFrame,
                        "the frame's lengths do not add up, or its data does not inflate");
                }
            } catch (...) {
                // Out of memory, say: the client is told, and the worker lives on.
                answer =
                    LegacyService::ErrorAnswer(legacy_error::kInternal, "the request could not be answered");
            }
            frame = {};
            lease.reset();
            const int version = shared.options.substitute ? VexaCore::kSubstitutedProtocolVersion
                                                          : VexaCore::kPlainProtocolVersion;
            std::string reply =
                VexaCore::FramePacket(answer.document, version, VexaCore::kCompressionThreshold);
            net::post(self->Executor(),
                      [self, reply = std::move(reply), summary = std::move(answer.summary)]() mutable {
                          self->Reply(std::move(reply), std::move(summary));
                      });
        });
    }

    void Reply(std::string frame, std::string summary) {
        if (phase_ != Phase::kAnswering) return;
        phase_ = Phase::kReplying;
        reply_ = std::move(frame);
        summary_ = std::move(summary);
        Arm();
        net::async_write(socket_, net::buffer(reply_), [self = Self()](const error_code& ec, size_t) {
            if (self->phase_ == Phase::kClosed) return;
            if (ec) return self->Drop(self->summary_ + " (dropped: the client did not take the reply)");
            self->reply_ = {};
            self->Log(self->summary_);
            error_code ignored;
            self->socket_.shutdown(tcp::socket::shutdown_send, ignored);
            self->phase_ = Phase::kDraining;
            self->Arm();
            self->Drain();
        });
    }

    // After the reply, until the client closes: closing with unread bytes from it would reset the
    // connection and could destroy the reply before the client has read it.
    void Drain() {
        socket_.async_read_some(net::buffer(drained_), [self = Self()](const error_code& ec, size_t) {
            if (self->phase_ == Phase::kClosed) return;
            if (ec) return self->Close();
            self->Drain();
        });
    }

    void Drop(const std::string& why) {
        Log(why);
        Close();
    }

    void Close() {
        if (phase_ == Phase::kClosed) return;
        phase_ = Phase::kClosed;
        ++armed_;
        timer_.cancel();
        watch_.Reset();
        lease_.reset();
        error_code ignored;
        socket_.close(ignored);
    }

    void Log(const std::string& line) const {
        if (shared_->options.log) shared_->options.log("legacy " + peer_ + " " + line);
    }

    const std::shared_ptr<const Shared> shared_;
    const std::string peer_;
    tcp::socket socket_;
    net::steady_timer timer_;
    unsigned armed_ = 0;  // which arming of the timer counts
    Phase phase_ = Phase::kReading;
    std::string held_;
    std::optional<BodyBudget::Lease> lease_;
    BodyBudget::Watch watch_;
    std::string reply_;
    std::string summary_;
    char drained_[4096];
};

}  // namespace

LegacyListener::LegacyListener(LegacyService& service, LegacyListenerOptions options, IoRuntime& runtime) {
    auto shared = std::make_shared<const Shared>(Shared{service, std::move(options), runtime});
    const LegacyListenerOptions& kept = shared->options;
    acceptor_ =
        std::make_unique<Acceptor>(runtime, "legacy", kept.bindAddress, kept.port,
                                   [shared](tcp::socket socket) -> std::shared_ptr<Connection> {
                                       return std::make_shared<LegacyConnection>(std::move(socket), shared);
                                   });
    address_ = EndpointHost(kept.bindAddress) + ":" + std::to_string(acceptor_->Port());
    acceptor_->Start();
}

LegacyListener::~LegacyListener() { Stop(); }

int LegacyListener::Port() const { return acceptor_->Port(); }

void LegacyListener::Stop() {
    if (stopped_) return;
    stopped_ = true;
    acceptor_->Stop(kStopWait);
}

}  // namespace vexa::sandbox
