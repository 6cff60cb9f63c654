// The sandbox's HTTP and HTTPS listeners, on the runtime's event loop: each whole request becomes
// a ServiceRequest answered by Service on a worker, and its reply goes back on the connection.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sandbox/certificate.h"
#include "sandbox/io_runtime.h"
#include "sandbox/ports.h"
#include "sandbox/service.h"

namespace vexa::sandbox {

struct Endpoints {
    std::string http;    // "http://127.0.0.1:PORT"
    std::string https;   // "https://127.0.0.1:PORT"
    std::string legacy;  // "127.0.0.1:PORT" of the legacy TCP listener; empty when there is none
    std::string inbox;   // "http://127.0.0.1:PORT/inbox/" of the web inbox; empty when it is off
};

// How long a client may take; one that takes longer is disconnected.
struct HttpTimeouts {
    std::chrono::milliseconds handshake{10000};  // the TLS handshake
    // A whole request, headers and body, from its first byte; more bytes do not extend it.
    std::chrono::milliseconds request{30000};
    std::chrono::milliseconds idle{5000};    // from a connection's start or last reply to the next request
    std::chrono::milliseconds reply{30000};  // taking a whole reply
};

struct ListenerOptions {
    std::string bindAddress = "127.0.0.1";
    PortChoice http;
    PortChoice https;
    CertificateFiles certificate;
    // Whether a client may send further requests over a connection; when not, every reply says
    // "Connection: close" and ends its connection.
    bool keepAlive = true;
    HttpTimeouts timeouts;
    // Told one line per request answered; called from the runtime's threads.
    std::function<void(const std::string&)> log;
};

// The largest request body taken; a longer one is answered 413.
inline constexpr size_t kMaxRequestBytes = 16 * 1024 * 1024;

class HttpServer {
public:
    // Binds both listeners and starts serving; throws when either cannot listen.
    HttpServer(Service& service, const ListenerOptions& options, IoRuntime& runtime);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    const Endpoints& GetEndpoints() const { return endpoints_; }
    int HttpPort() const;
    int HttpsPort() const;

    // Stops accepting and closes the connections between requests at once; lets the requests
    // being answered finish and their replies go out, and returns when they have (or after a
    // bounded wait).
    void Stop();

private:
    struct State;
    std::unique_ptr<State> state_;
    Endpoints endpoints_;
};

// The host part of an endpoint URL for a bind address: a wildcard address is reached through
// loopback, and an IPv6 address goes in brackets.
std::string EndpointHost(const std::string& bindAddress);

}  // namespace vexa::sandbox
