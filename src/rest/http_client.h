// HttpClient: one HTTP(S) exchange with the messaging service, on libcurl (Linux) or WinINet
// (Windows). Configured, connected, used for one SendRequest, destroyed. Below it, the platform
// keeps connections and TLS sessions for the process (WinINet by itself; on Linux
// rest/curl_sessions.h), so a later exchange with the same server usually skips the handshakes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rest/http_response.h"

namespace vexa {

// A reply body larger than this is never buffered: the exchange fails as unreadable.
inline constexpr size_t kMaxReplyBody = 64u * 1024 * 1024;

struct HttpTimeouts {
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds send{20000};      // a send that makes no progress this long fails
    std::chrono::milliseconds receive{180000};  // likewise for waiting for and reading the reply
};

class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The User-Agent text (initially "HttpClient").
    void SetAgent(std::string agent);
    // TLS on or off; a port still 0 becomes the new scheme's default.
    void SetSecure(bool secure);
    // 0 means the scheme's default: 443 when secure, else 80.
    void SetPort(uint16_t port);
    // Prepares the exchange with host (a name, an IPv4 address, or a bracketed IPv6 address).
    // False when the transfer cannot be set up; SendRequest then fails without network traffic.
    bool Connect(const std::string& host);
    // Setting a name again replaces its value and keeps its place; headers go out in the order
    // their names were first set.
    void AddHeader(const std::string& name, const std::string& value);

    // Runs the exchange. False when no request could be made (no Connect, the request could not
    // be opened, or no connection to the server: unknown host, refused, connect time-out) or
    // when a 200 reply's body is larger than kMaxReplyBody; true otherwise, with
    // response.status 0 when the request was sent but got no reply (TLS verification failure,
    // send or receive time-out, connection broken off).
    bool SendRequest(HttpResponse& response, const std::string& method, const std::string& path,
                     const char* body, size_t length);

    // PEM certificates trusted in addition to the system's store; empty for the system's alone.
    void SetTrustedCertificates(std::string pemFile);
    // Tests shorten the time-outs.
    void SetTimeouts(const HttpTimeouts& timeouts);

    uint16_t Port() const { return port_; }
    bool Secure() const { return secure_; }

private:
    struct Transfer;

    // The platform's exchange on the handles Connect made, which it takes: they serve this one
    // exchange and are gone afterwards, whatever happens.
    bool Run(HttpResponse& response, const std::string& method, const std::string& path, const char* body,
             size_t length);

    std::string host_;
    std::string agent_ = "HttpClient";
    uint16_t port_ = 0;
    bool secure_ = false;
    HttpTimeouts timeouts_;
    std::string trustedCertificates_;
    std::vector<std::pair<std::string, std::string>> headers_;
    std::unique_ptr<Transfer> transfer_;  // the platform's handles, from Connect to SendRequest
};

}  // namespace vexa
