// The legacy protocol's TCP listener: each connection carries one framed request and gets one
// framed reply, then it is closed. A small pool of workers serves the connections.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sandbox/legacy_service.h"
#include "sandbox/legacy_socket.h"
#include "sandbox/ports.h"

namespace vexa::sandbox {

struct LegacyListenerOptions {
    std::string bindAddress = "127.0.0.1";
    PortChoice port;
    bool substitute = false;  // every reply in the byte-substituted form
    // How long a client may take to send its whole request, and again to take the whole reply;
    // a client that stalls longer is dropped.
    std::chrono::milliseconds timeout{30000};
    int workers = 8;  // connections served at once; later ones wait for a free worker
    // Told one line per connection; called from the workers.
    std::function<void(const std::string&)> log;
};

class LegacyListener {
public:
    // Binds and starts serving; throws when it cannot listen.
    LegacyListener(LegacyService& service, LegacyListenerOptions options);
    ~LegacyListener();
    LegacyListener(const LegacyListener&) = delete;
    LegacyListener& operator=(const LegacyListener&) = delete;

    // "127.0.0.1:PORT", where clients reach it.
    const std::string& Address() const { return address_; }
    int Port() const { return port_; }

    // Stops accepting, drops the connections whose request has not arrived whole, lets the
    // requests in flight be answered, and returns when every worker has finished.
    void Stop();

private:
    struct Connection {
        UniqueFd socket;
        std::string peer;
    };

    void AcceptLoop();
    void WorkLoop();
    void Serve(const Connection& connection);
    // The reply to the frame that the connection brings, or nullopt when it is dropped
    // unanswered; `dropped` then tells the log why.
    std::optional<LegacyAnswer> Answer(const Connection& connection, std::string& dropped);
    void Log(const Connection& connection, const std::string& line) const;

    LegacyService& service_;
    const LegacyListenerOptions options_;
    UniqueFd listener_;
    int port_ = 0;
    std::string address_;
    WakePipe wake_;

    std::mutex mutex_;
    std::condition_variable work_;  // a connection waits, or stopping
    std::condition_variable room_;  // a worker took a connection, or stopping
    std::deque<Connection> pending_;
    bool stopping_ = false;

    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

}  // namespace vexa::sandbox
