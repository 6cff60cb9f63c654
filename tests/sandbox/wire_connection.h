// One client connection to a listener, HTTP/1.1 over a socket of its own, in plain or over TLS
// (OpenSSL), so that a test sees what the connection itself does: how many requests it carries,
// whether the server ends it, whether its TLS session was resumed.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <openssl/ssl.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace vexa::sandbox::test {

struct WireReply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    // The value of the header, empty when there is none.
    std::string Header(const std::string& lowerCaseName) const;
};

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct SslSessionFree {
    void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};
using SslSession = std::unique_ptr<SSL_SESSION, SslSessionFree>;

// The client side of TLS: trusts the given certificate only, offers at most `maxVersion`, and
// asks for session tickets unless told not to (a TLS 1.2 session then resumes by its id).
class TlsClient {
public:
    explicit TlsClient(const std::filesystem::path& trusted, int maxVersion = TLS1_3_VERSION,
                       bool tickets = true);
    SSL_CTX* Context() const { return context_.get(); }

private:
    std::unique_ptr<SSL_CTX, SslContextFree> context_;
};

class WireConnection {
public:
    // Connects to 127.0.0.1:port in plain.
    explicit WireConnection(int port);
    // Connects and shakes hands over TLS, offering `session` (when given) to resume.
    WireConnection(int port, const TlsClient& tls, SSL_SESSION* session = nullptr);
    // Says goodbye over TLS (close_notify) unless the server has ended the connection: OpenSSL
    // takes a session whose connection is dropped without it for a bad one and no longer resumes
    // it.
    ~WireConnection();
    WireConnection(WireConnection&&) = default;

    // False when the connection or its handshake failed.
    bool Connected() const { return connected_; }
    // Sends the request and reads its reply (framed by Content-Length); nullopt when the
    // connection fails or ends first.
    std::optional<WireReply> Exchange(std::string_view request);
    // True when the server ends the connection: reading comes to its end (or is reset) before a
    // generous wait runs out.
    bool EndedByServer();

    bool SessionResumed() const { return ssl_ && SSL_session_reused(ssl_.get()) == 1; }
    // The TLS session as it stands, to resume in a later connection.
    SslSession Session() const { return SslSession(ssl_ ? SSL_get1_session(ssl_.get()) : nullptr); }

private:
    enum class Read { kData, kEnd, kFailed };
    bool Write(std::string_view bytes);
    // Appends what arrives next to buffer_.
    Read ReadMore();

    UniqueFd socket_;
    std::unique_ptr<SSL, SslFree> ssl_;
    bool connected_ = false;
    bool ended_ = false;
    std::string buffer_;
};

// A request of `method` for `target` carrying `headers` (each "Name: value") and `body`, naming
// `host` in its Host header.
std::string WireRequest(const std::string& method, const std::string& target,
                        const std::vector<std::string>& headers, const std::string& body = "",
                        const std::string& host = "127.0.0.1");

}  // namespace vexa::sandbox::test
