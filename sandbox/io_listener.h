// One listening socket on the runtime's event loop, and the connections it accepted: each is
// admitted by the connection caps or closed at once, and is tracked until it ends, so that a
// stop can end the idle ones at once and wait for those answering a request.
#pragma once

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sandbox/connection_caps.h"
#include "sandbox/io_runtime.h"
#include "sandbox/ports.h"

namespace vexa::sandbox {

// A served connection. Its members run on its executor (a strand), one at a time.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    explicit Connection(boost::asio::any_io_executor executor) : executor_(std::move(executor)) {}
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const boost::asio::any_io_executor& Executor() const { return executor_; }

    // Begins serving.
    virtual void Start() = 0;
    // Ends the connection at once, unless a request of it is being answered: that reply still
    // goes out (saying "Connection: close"), and the connection ends after it.
    virtual void Stop() = 0;

private:
    friend class Acceptor;
    struct Tracking;
    boost::asio::any_io_executor executor_;
    std::shared_ptr<Tracking> tracking_;
};

class Acceptor {
public:
    // Makes the connection for an accepted socket (TCP_NODELAY set, bound to a strand of its own).
    using Make = std::function<std::shared_ptr<Connection>(boost::asio::ip::tcp::socket)>;

    // Listens on address:port (numeric, IPv4 or IPv6; 0: a free port, or as `choice` allows)
    // with SO_REUSEADDR only, so a restart takes its port back at once and a port another
    // process listens on is refused. Throws std::runtime_error ("<name> listener: …") when it
    // cannot. A connection over a cap is sent `refusal` (when not empty) and closed.
    Acceptor(IoRuntime& runtime, const std::string& name, const std::string& address,
             const PortChoice& choice, Make make, std::string refusal = {});
    // Stops as Stop does.
    ~Acceptor();
    Acceptor(const Acceptor&) = delete;
    Acceptor& operator=(const Acceptor&) = delete;

    int Port() const { return port_; }

    // Accepts from now on.
    void Start();
    // Stops accepting, stops every connection (see Connection::Stop) and waits up to `wait` for
    // them to end.
    void Stop(std::chrono::milliseconds wait);

private:
    struct Core;
    std::shared_ptr<Core> core_;
    int port_ = 0;
};

}  // namespace vexa::sandbox
