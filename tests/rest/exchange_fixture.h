// One exchange of HttpClient with a scripted server, configured as the service requests are.
#pragma once

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "rest/http_client.h"
#include "scripted_server.h"

namespace vexa::test {

using Headers = std::vector<std::pair<std::string, std::string>>;

// Long enough never to end a test by itself: a test that waits for it has gone wrong.
constexpr HttpTimeouts kPatient{std::chrono::seconds(60), std::chrono::seconds(60), std::chrono::seconds(60)};

// How the client reaches the server.
struct Endpoint {
    uint16_t port = 0;
    bool secure = false;
    std::string host = "127.0.0.1";
    std::string trusted;  // PEM file of extra trusted certificates
    HttpTimeouts timeouts = kPatient;
};

struct Request {
    std::string method = "GET";
    std::string path = "/users/abc/status";
    std::string body;
    Headers headers;
    std::string agent = "Vexa Component";
};

struct Exchange {
    bool ok = false;
    HttpResponse response;
};

inline Endpoint PlainTo(const ScriptedServer& server) { return Endpoint{.port = server.Port()}; }

inline Endpoint SecureTo(const ScriptedServer& server) {
    return Endpoint{.port = server.Port(), .secure = true, .trusted = server.CertificateFile()};
}

// One exchange, the client configured in the order the service requests use.
inline Exchange RunExchange(const Endpoint& endpoint, const Request& request = {}) {
    HttpClient client;
    client.SetAgent(request.agent);
    client.SetSecure(endpoint.secure);
    client.SetPort(endpoint.port);
    client.SetTimeouts(endpoint.timeouts);
    client.SetTrustedCertificates(endpoint.trusted);
    EXPECT_TRUE(client.Connect(endpoint.host));
    for (const auto& [name, value] : request.headers) client.AddHeader(name, value);
    Exchange exchange;
    exchange.ok = client.SendRequest(exchange.response, request.method, request.path, request.body.data(),
                                     request.body.size());
    return exchange;
}

}  // namespace vexa::test
