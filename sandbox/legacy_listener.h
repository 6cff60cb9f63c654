// The legacy protocol's TCP listener, on the runtime's event loop: each connection carries one
// framed request and gets one framed reply, then it is closed. The service answers on a worker.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sandbox/io_runtime.h"
#include "sandbox/legacy_service.h"
#include "sandbox/ports.h"

namespace vexa::sandbox {

class Acceptor;

struct LegacyListenerOptions {
    std::string bindAddress = "127.0.0.1";
    PortChoice port;
    bool substitute = false;  // every reply in the byte-substituted form
    // How long a client may take to send its whole request (from its connection, however many
    // bytes it sends meanwhile), and again to take the whole reply; a client that takes longer
    // is dropped.
    std::chrono::milliseconds timeout{30000};
    // Told one line per connection; called from the runtime's threads.
    std::function<void(const std::string&)> log;
};

class LegacyListener {
public:
    // Binds and starts serving; throws when it cannot listen.
    LegacyListener(LegacyService& service, LegacyListenerOptions options, IoRuntime& runtime);
    ~LegacyListener();
    LegacyListener(const LegacyListener&) = delete;
    LegacyListener& operator=(const LegacyListener&) = delete;

    // "127.0.0.1:PORT", where clients reach it.
    const std::string& Address() const { return address_; }
    int Port() const;

    // Stops accepting, drops the connections whose request has not arrived whole, lets the
    // requests being answered finish and their replies go out, and returns when they have (or
    // after a bounded wait).
    void Stop();

private:
    std::unique_ptr<Acceptor> acceptor_;
    std::string address_;
    bool stopped_ = false;
};

}  // namespace vexa::sandbox
