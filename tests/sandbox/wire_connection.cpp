#include "wire_connection.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>

namespace vexa::sandbox::test {

namespace {

// Bounds every read, so a test whose server neither answers nor closes fails instead of hanging.
constexpr time_t kReadSeconds = 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A reply whose headers and Content-Length body are whole at the front of `buffer`, taken from it.
std::optional<WireReply> TakeReply(std::string& buffer) {
    const size_t end = buffer.find("\r\n\r\n");
    if (end == std::string::npos) return std::nullopt;
    WireReply reply;
    size_t line = buffer.find("\r\n");
    const std::string status = buffer.substr(0, line);
    if (!status.starts_with("HTTP/1.1 ") || status.size() < 12) throw std::runtime_error("status: " + status);
    std::from_chars(status.data() + 9, status.data() + 12, reply.status);
    while (line < end) {
        const size_t next = buffer.find("\r\n", line + 2);
        const std::string header = buffer.substr(line + 2, next - line - 2);
        const size_t colon = header.find(':');
        if (colon != std::string::npos) {
            const size_t value = header.find_first_not_of(' ', colon + 1);
            reply.headers[Lower(header.substr(0, colon))] =
                value == std::string::npos ? "" : header.substr(value);
        }
        line = next;
    }
    size_t length = 0;
    const std::string declared = reply.Header("content-length");
    std::from_chars(declared.data(), declared.data() + declared.size(), length);
    if (buffer.size() < end + 4 + length) return std::nullopt;
    reply.body = buffer.substr(end + 4, length);
    buffer.erase(0, end + 4 + length);
    return reply;
}

}  // namespace

std::string WireReply::Header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
}

TlsClient::TlsClient(const std::filesystem::path& trusted, int maxVersion, bool tickets)
    : context_(SSL_CTX_new(TLS_client_method())) {
    if (!context_ || SSL_CTX_load_verify_locations(context_.get(), trusted.c_str(), nullptr) != 1 ||
        SSL_CTX_set_max_proto_version(context_.get(), maxVersion) != 1) {
        throw std::runtime_error("TLS client: cannot be set up");
    }
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
    // A server that closes without close_notify has still ended the connection.
    SSL_CTX_set_options(context_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (!tickets) SSL_CTX_set_options(context_.get(), SSL_OP_NO_TICKET);
    // Sessions are kept by the test itself, not by the context.
    SSL_CTX_set_session_cache_mode(context_.get(), SSL_SESS_CACHE_OFF);
}

WireConnection::WireConnection(int port) : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const timeval wait{kReadSeconds, 0};
    ::setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
}

WireConnection::WireConnection(int port, const TlsClient& tls, SSL_SESSION* session) : WireConnection(port) {
    if (!connected_) return;
    ssl_.reset(SSL_new(tls.Context()));
    connected_ = ssl_ && SSL_set_fd(ssl_.get(), socket_.Get()) == 1 &&
                 SSL_set1_host(ssl_.get(), "127.0.0.1") == 1 &&
                 (!session || SSL_set_session(ssl_.get(), session) == 1) && SSL_connect(ssl_.get()) == 1;
}

WireConnection::~WireConnection() {
    if (ssl_ && connected_ && !ended_) SSL_shutdown(ssl_.get());
}

bool WireConnection::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20));
        const ssize_t sent =
            ssl_ ? SSL_write(ssl_.get(), bytes.data(), chunk)
                 : ::send(socket_.Get(), bytes.data(), static_cast<size_t>(chunk), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

WireConnection::Read WireConnection::ReadMore() {
    char chunk[16384];
    errno = 0;
    if (ssl_) {
        const int got = SSL_read(ssl_.get(), chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, static_cast<size_t>(got));
            return Read::kData;
        }
        const int error = SSL_get_error(ssl_.get(), got);
        ended_ = error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == ECONNRESET);
        return ended_ ? Read::kEnd : Read::kFailed;
    }
    const ssize_t got = ::recv(socket_.Get(), chunk, sizeof chunk, 0);
    if (got > 0) {
        buffer_.append(chunk, static_cast<size_t>(got));
        return Read::kData;
    }
    ended_ = got == 0 || errno == ECONNRESET;
    return ended_ ? Read::kEnd : Read::kFailed;
}

std::optional<WireReply> WireConnection::Exchange(std::string_view request) {
    if (!connected_ || !Write(request)) return std::nullopt;
    for (;;) {
        if (std::optional<WireReply> reply = TakeReply(buffer_)) return reply;
        if (ReadMore() != Read::kData) return std::nullopt;
    }
}

bool WireConnection::EndedByServer() {
    for (;;) {
        switch (ReadMore()) {
            case Read::kData:
                continue;  // more than the replies: not what a test expects
            case Read::kEnd:
                return buffer_.empty();
            case Read::kFailed:
                return false;
        }
    }
}

std::string WireRequest(const std::string& method, const std::string& target,
                        const std::vector<std::string>& headers, const std::string& body,
                        const std::string& host) {
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const std::string& header : headers) request += header + "\r\n";
    if (!body.empty() || method == "POST") {
        request += "Content-Type: application/xml; charset=UTF-8\r\n";
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return request + "\r\n" + body;
}

}  // namespace vexa::sandbox::test
