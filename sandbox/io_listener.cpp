#include "sandbox/io_listener.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace vexa::sandbox {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using error_code = boost::system::error_code;

namespace {

// After a failing accept (out of descriptors, say), before the next try.
constexpr auto kAcceptBackoff = std::chrono::milliseconds(50);

// The connections of one listener that have not ended yet.
class Registry {
public:
    // Nullopt once the listener stops: the connection is not served.
    std::optional<uint64_t> Join(const std::shared_ptr<Connection>& connection) {
        std::lock_guard lock(mutex_);
        if (stopping_) return std::nullopt;
        live_.emplace(next_, connection);
        return next_++;
    }

    void Leave(const uint64_t& id) {
        std::lock_guard lock(mutex_);
        live_.erase(id);
        if (live_.empty()) ended_.notify_all();
    }

    // From now on no connection joins; the live ones.
    std::vector<std::shared_ptr<Connection>> Stopping() {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        std::vector<std::shared_ptr<Connection>> live;
        for (const auto& [id, connection] : live_) {
            if (std::shared_ptr<Connection> alive = connection.lock()) live.push_back(std::move(alive));
        }
        return live;
    }

    void WaitUntilEmpty(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, wait, [this] { return live_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    std::map<uint64_t, std::weak_ptr<Connection>> live_;
    uint64_t next_ = 0;
    bool stopping_ = false;
};

}  // namespace

// What a served connection holds until it ends: its place among the listener's connections and
// its connection slot.
struct Connection::Tracking {
    std::shared_ptr<Registry> registry;
    GiveBack<Registry, uint64_t, &Registry::Leave> place;
    ConnectionCaps::Slot slot;
};

Connection::~Connection() = default;

struct Acceptor::Core : std::enable_shared_from_this<Core> {
    Core(IoRuntime& runtime, Make make, std::string refusal)
        : runtime(runtime),
          acceptor(net::make_strand(runtime.Context())),
          backoff(acceptor.get_executor()),
          make(std::move(make)),
          refusal(std::move(refusal)) {}

    void Accept() {
        acceptor.async_accept(net::make_strand(runtime.Context()),
                              [self = shared_from_this()](const error_code& ec, tcp::socket socket) {
                                  self->Accepted(ec, std::move(socket));
                              });
    }

    void Accepted(const error_code& ec, tcp::socket socket) {
        if (!acceptor.is_open()) return;
        if (ec) {
            if (ec == net::error::no_descriptors || ec == net::error::no_buffer_space ||
                ec == net::error::no_memory) {
                backoff.expires_after(kAcceptBackoff);
                backoff.async_wait([self = shared_from_this()](const error_code& waited) {
                    if (!waited) self->Accept();
                });
                return;
            }
            Accept();
            return;
        }
        Serve(std::move(socket));
        Accept();
    }

    void Serve(tcp::socket socket) {
        error_code ignored;
        const tcp::endpoint peer = socket.remote_endpoint(ignored);
        if (ignored) return;
        std::optional<ConnectionCaps::Slot> slot = runtime.Caps().Admit(peer.address().to_string());
        if (!slot) {
            if (!refusal.empty()) {
                // One try without waiting: a client that cannot take it is closed all the same.
                socket.non_blocking(true, ignored);
                socket.write_some(net::buffer(refusal), ignored);
                socket.shutdown(tcp::socket::shutdown_send, ignored);
            }
            return;
        }
        // A reply goes out in several writes (TLS records); without this the kernel holds the last
        // one back until the client's delayed acknowledgement, some 40 ms per exchange.
        socket.set_option(tcp::no_delay(true), ignored);
        std::shared_ptr<Connection> connection = make(std::move(socket));
        const std::optional<uint64_t> id = registry->Join(connection);
        if (!id) return;
        connection->tracking_ = std::make_shared<Connection::Tracking>(
            Connection::Tracking{registry, {registry.get(), *id}, std::move(*slot)});
        net::dispatch(connection->Executor(), [connection] { connection->Start(); });
    }

    IoRuntime& runtime;
    tcp::acceptor acceptor;
    net::steady_timer backoff;
    const Make make;
    const std::string refusal;
    const std::shared_ptr<Registry> registry = std::make_shared<Registry>();
    bool stopped = false;
};

Acceptor::Acceptor(IoRuntime& runtime, const std::string& name, const std::string& address,
                   const PortChoice& choice, Make make, std::string refusal)
    : core_(std::make_shared<Core>(runtime, std::move(make), std::move(refusal))) {
    error_code ec;
    const net::ip::address ip = net::ip::make_address(address, ec);
    if (ec)
        throw std::runtime_error(name + " listener: cannot listen on " + address +
                                 " (not a numeric address)");
    port_ = ListenOn(choice, [&](int port) {
        tcp::acceptor& acceptor = core_->acceptor;
        const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
        error_code failed;
        if (acceptor.is_open()) acceptor.close(failed);
        acceptor.open(endpoint.protocol(), failed);
        if (!failed) acceptor.set_option(tcp::acceptor::reuse_address(true), failed);
        if (!failed) acceptor.bind(endpoint, failed);
        if (!failed) acceptor.listen(net::socket_base::max_listen_connections, failed);
        if (failed) {
            throw std::runtime_error(name + " listener: cannot listen on " + address + ":" +
                                     std::to_string(port));
        }
        return static_cast<int>(acceptor.local_endpoint().port());
    });
}

Acceptor::~Acceptor() { Stop(std::chrono::seconds(0)); }

void Acceptor::Start() {
    net::dispatch(core_->acceptor.get_executor(), [core = core_] { core->Accept(); });
}

void Acceptor::Stop(std::chrono::milliseconds wait) {
    if (core_->stopped) return;
    core_->stopped = true;
    // The acceptor is closed on its own strand, where its accepts complete.
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    net::dispatch(core_->acceptor.get_executor(), [core = core_, closed] {
        error_code ignored;
        core->acceptor.close(ignored);
        core->backoff.cancel();
        closed->set_value();
    });
    done.wait_for(wait);
    for (const std::shared_ptr<Connection>& connection : core_->registry->Stopping()) {
        net::dispatch(connection->Executor(), [connection] { connection->Stop(); });
    }
    core_->registry->WaitUntilEmpty(wait);
}

}  // namespace vexa::sandbox
