// The sandbox's listeners: plain HTTP and HTTPS on cpp-httplib, both answering every request
// through the same Service.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sandbox/certificate.h"
#include "sandbox/ports.h"
#include "sandbox/service.h"

namespace vexa::sandbox {

struct Endpoints {
    std::string http;    // "http://127.0.0.1:PORT"
    std::string https;   // "https://127.0.0.1:PORT"
    std::string legacy;  // "127.0.0.1:PORT" of the legacy TCP listener; empty when there is none
};

struct ListenerOptions {
    std::string bindAddress = "127.0.0.1";
    PortChoice http;
    PortChoice https;
    CertificateFiles certificate;
    // Whether a client may send further requests over a connection; when not, every reply says
    // "Connection: close" and ends its connection.
    bool keepAlive = true;
    // Told one line per request answered; called from the listeners' threads.
    std::function<void(const std::string&)> log;
};

class HttpServer {
public:
    // Binds both listeners and starts serving; throws when either cannot listen.
    HttpServer(Service& service, const ListenerOptions& options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    const Endpoints& GetEndpoints() const { return endpoints_; }
    int HttpPort() const;
    int HttpsPort() const;

    // Stops accepting, lets the requests in flight finish, and returns when both have.
    void Stop();

private:
    class Listener;
    std::unique_ptr<Listener> http_;
    std::unique_ptr<Listener> https_;
    Endpoints endpoints_;
};

// The host part of an endpoint URL for a bind address: a wildcard address is reached through
// loopback, and an IPv6 address goes in brackets.
std::string EndpointHost(const std::string& bindAddress);

}  // namespace vexa::sandbox
