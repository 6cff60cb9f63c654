#include "hostile_clients.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/scramble.h"
#include "legacy/protocol/tpml.h"

namespace vexa::test {

namespace {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// Long enough for a loopback connect even while the server's accept queue is full.
constexpr auto kConnectWait = std::chrono::seconds(2);

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

int MillisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Waits until the socket is ready for `events`; false at the deadline.
bool Await(int socket, short events, Deadline deadline) {
    for (;;) {
        pollfd fd{socket, events, 0};
        const int ready = ::poll(&fd, 1, MillisecondsLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// A non-blocking socket connected to 127.0.0.1:port from `source` by the deadline.
UniqueFd ConnectBy(const std::string& source, int port, Deadline deadline) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) return {};
    sockaddr_in from{};
    from.sin_family = AF_INET;
    if (::inet_pton(AF_INET, source.c_str(), &from.sin_addr) != 1 ||
        ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        return {};
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS || !Await(socket.Get(), POLLOUT, deadline)) return {};
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return {};
    }
    const int yes = 1;
    ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return socket;
}

// One connection of a timed request, in plain or over TLS, every step bounded by one deadline.
class Channel {
public:
    Channel(int port, Deadline deadline, SSL_CTX* tls) : deadline_(deadline) {
        socket_ = ConnectBy("127.0.0.1", port, deadline);
        if (!socket_.Valid() || !tls) return;
        ssl_.reset(SSL_new(tls));
        if (!ssl_ || SSL_set_fd(ssl_.get(), socket_.Get()) != 1 ||
            SSL_set1_host(ssl_.get(), "127.0.0.1") != 1 || !Step([&] { return SSL_connect(ssl_.get()); })) {
            socket_.Reset();
        }
    }

    bool Open() const { return socket_.Valid(); }

    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20));
            int sent = 0;
            if (ssl_) {
                if (!Step([&] { return sent = SSL_write(ssl_.get(), bytes.data(), chunk); })) return false;
            } else {
                sent = static_cast<int>(
                    ::send(socket_.Get(), bytes.data(), static_cast<size_t>(chunk), MSG_NOSIGNAL));
                if (sent < 0) {
                    if (errno != EAGAIN || !Await(socket_.Get(), POLLOUT, deadline_)) return false;
                    continue;
                }
            }
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    void CloseSending() { ::shutdown(socket_.Get(), SHUT_WR); }

    // Everything until the server closes; nullopt when the deadline comes first.
    std::optional<std::string> ReadToEnd() {
        std::string received;
        char chunk[16384];
        for (;;) {
            int got = 0;
            if (ssl_) {
                const bool read = Step([&] { return got = SSL_read(ssl_.get(), chunk, sizeof chunk); });
                if (!read) return ended_ ? std::optional(received) : std::nullopt;
            } else {
                got = static_cast<int>(::recv(socket_.Get(), chunk, sizeof chunk, 0));
                if (got < 0 && errno == EAGAIN) {
                    if (!Await(socket_.Get(), POLLIN, deadline_)) return std::nullopt;
                    continue;
                }
                if (got <= 0) return received;
            }
            received.append(chunk, static_cast<size_t>(got));
        }
    }

private:
    // Runs an OpenSSL call until it succeeds, waiting as it asks; false when it fails or the
    // deadline passes (ended_ tells whether the server closed).
    template <class Call>
    bool Step(Call call) {
        for (;;) {
            const int result = call();
            if (result > 0) return true;
            const int error = SSL_get_error(ssl_.get(), result);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                if (!Await(socket_.Get(), error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline_))
                    return false;
                continue;
            }
            ended_ = error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL;
            return false;
        }
    }

    Deadline deadline_;
    UniqueFd socket_;
    std::unique_ptr<SSL, SslFree> ssl_;
    bool ended_ = false;
};

// The status code of a whole HTTP reply; 0 when it is none.
int StatusOf(const std::string& reply) {
    if (!reply.starts_with("HTTP/1.1 ") || reply.size() < 12 || reply.find("\r\n\r\n") == std::string::npos) {
        return 0;
    }
    int status = 0;
    std::from_chars(reply.data() + 9, reply.data() + 12, status);
    return status;
}

std::string ClientHello() {
    const std::unique_ptr<SSL_CTX, SslContextFree> context(SSL_CTX_new(TLS_client_method()));
    const std::unique_ptr<SSL, SslFree> ssl(SSL_new(context.get()));
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl.get(), in, out);  // owned by ssl from here
    SSL_connect(ssl.get());           // writes the hello, then wants the server's answer
    char* data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    return std::string(data, static_cast<size_t>(length));
}

std::string LegacyLoginFrame(const Login& login) {
    Quill::CTPMLParser packet;
    Quill::TPMLNode* user = Quill::TPMLTree::AddElement(packet.Root(), "USER");
    Quill::TPMLTree::SetAttribute(user, "type", "request");
    Quill::TPMLNode* request = Quill::TPMLTree::AddElement(user, "LOGIN");
    Quill::TPMLTree::AddElement(request, "USER_ID", login.user);
    // A scrambled password holding a space would be cut at it.
    std::string scrambled = VexaCore::ScrambleText(login.password);
    while (scrambled.find(' ') != std::string::npos) scrambled = VexaCore::ScrambleText(login.password);
    Quill::TPMLTree::AddElement(request, "PASSWORD", scrambled);
    Quill::TPMLTree::AddElement(user, "STATUS");
    std::string text;
    packet.Serialize(text);
    return VexaCore::FramePacket(text, VexaCore::kPlainProtocolVersion, VexaCore::kCompressionThreshold);
}

std::optional<std::chrono::milliseconds> Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace

UniqueFd ConnectFrom(const std::string& source, int port) {
    UniqueFd socket = ConnectBy(source, port, Clock::now() + kConnectWait);
    if (socket.Valid()) ::fcntl(socket.Get(), F_SETFL, ::fcntl(socket.Get(), F_GETFL) & ~O_NONBLOCK);
    return socket;
}

std::string HostileSource(size_t i) { return "127.0.0." + std::to_string(2 + i % 4); }

const char* HostilityName(Hostility hostility) {
    switch (hostility) {
        case Hostility::kIdle:
            return "idle connections";
        case Hostility::kHalfSentRequest:
            return "half-sent requests";
        case Hostility::kStalledHandshake:
            return "stalled TLS handshakes";
        case Hostility::kSlowDrip:
            return "slow-drip clients";
        case Hostility::kSilentLegacy:
            return "silent legacy connections";
    }
    return "?";
}

HostileClients::HostileClients(Hostility hostility, int port, size_t count,
                               std::chrono::milliseconds dripInterval)
    : interval_(dripInterval) {
    std::string first;
    if (hostility == Hostility::kHalfSentRequest) {
        const std::string body(1000, 'x');
        first = HttpRequest("POST", "/messages/kim", Login{}, body, false);
        first.resize(first.size() - body.size() / 2);
    } else if (hostility == Hostility::kStalledHandshake) {
        first = ClientHello();
        first.resize(first.size() / 2);
    }
    for (size_t i = 0; i < count; ++i) {
        UniqueFd socket = ConnectFrom(HostileSource(i), port);
        if (!socket.Valid()) continue;
        if (!first.empty()) ::send(socket.Get(), first.data(), first.size(), MSG_NOSIGNAL);
        sockets_.push_back(std::move(socket));
    }
    if (hostility == Hostility::kSlowDrip) dripper_ = std::thread([this] { Drip(); });
}

HostileClients::~HostileClients() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (dripper_.joinable()) dripper_.join();
}

size_t HostileClients::ClosedByServer() const {
    size_t closed = 0;
    for (const UniqueFd& socket : sockets_) {
        pollfd fd{socket.Get(), POLLIN, 0};
        char byte = 0;
        if (::poll(&fd, 1, 0) == 1 && ::recv(socket.Get(), &byte, 1, MSG_DONTWAIT | MSG_PEEK) <= 0) ++closed;
    }
    return closed;
}

void HostileClients::Drip() {
    const std::string request = HttpRequest("GET", "/users/kim/status", Login{});
    std::unique_lock lock(mutex_);
    for (size_t sent = 0; sent < request.size(); ++sent) {
        for (const UniqueFd& socket : sockets_)
            ::send(socket.Get(), &request[sent], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (wake_.wait_for(lock, interval_, [this] { return stopping_; })) return;
    }
}

std::optional<std::chrono::milliseconds> TimedStatus(int port, const Login& login,
                                                     const std::optional<std::filesystem::path>& certificate,
                                                     std::chrono::milliseconds timeout) {
    const Clock::time_point start = Clock::now();
    std::unique_ptr<SSL_CTX, SslContextFree> tls;
    if (certificate) {
        tls.reset(SSL_CTX_new(TLS_client_method()));
        if (!tls || SSL_CTX_load_verify_locations(tls.get(), certificate->c_str(), nullptr) != 1)
            return std::nullopt;
        SSL_CTX_set_verify(tls.get(), SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_options(tls.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    }
    Channel channel(port, start + timeout, tls.get());
    if (!channel.Open() || !channel.Send(HttpRequest("GET", "/users/" + login.user + "/status", login))) {
        return std::nullopt;
    }
    const std::optional<std::string> reply = channel.ReadToEnd();
    if (!reply || StatusOf(*reply) != 200) return std::nullopt;
    return Since(start);
}

std::optional<std::chrono::milliseconds> TimedLegacyLogin(int port, const Login& login,
                                                          std::chrono::milliseconds timeout) {
    const Clock::time_point start = Clock::now();
    Channel channel(port, start + timeout, nullptr);
    if (!channel.Open() || !channel.Send(LegacyLoginFrame(login))) return std::nullopt;
    const std::optional<std::string> frame = channel.ReadToEnd();
    if (!frame) return std::nullopt;
    const std::optional<std::string> text = VexaCore::UnframePacket(*frame);
    if (!text || text->find("result=\"succeed\"") == std::string::npos) return std::nullopt;
    return Since(start);
}

int StatusAfterHalfClose(int port, const std::string& request, std::chrono::milliseconds timeout) {
    Channel channel(port, Clock::now() + timeout, nullptr);
    if (!channel.Open() || !channel.Send(request)) return 0;
    channel.CloseSending();
    const std::optional<std::string> reply = channel.ReadToEnd();
    return reply ? StatusOf(*reply) : 0;
}

int Exchange(int port, const std::string& request, std::chrono::milliseconds timeout) {
    Channel channel(port, Clock::now() + timeout, nullptr);
    if (!channel.Open() || !channel.Send(request)) return 0;
    const std::optional<std::string> reply = channel.ReadToEnd();
    return reply ? StatusOf(*reply) : 0;
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
    const std::string plain = user + ":" + password;
    std::string encoded(4 * ((plain.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                        reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    encoded.resize(static_cast<size_t>(length));
    return "Basic " + encoded;
}

std::string HttpRequest(const std::string& method, const std::string& target, const Login& login,
                        const std::string& body, bool close) {
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " +
                          BasicAuthorization(login.user, login.password) + "\r\nAuth-Realm: " + login.realm +
                          "\r\n";
    if (close) request += "Connection: close\r\n";
    if (!body.empty()) {
        request +=
            "Content-Type: application/xml; charset=UTF-8\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n";
    }
    return request + "\r\n" + body;
}

std::string MmsDocumentOfSize(size_t bytes) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<messages><type>mms</type><message>big</message>"
        "<receivers><receiver><phone>010-1234-5678</phone><sendtime>systemtime</sendtime></receiver>"
        "</receivers><images><image><content>data:image/jpeg;base64,";
    const std::string tail = "</content></image></images></messages>\n";
    const size_t room = bytes > head.size() + tail.size() ? bytes - head.size() - tail.size() : 4;
    // Base64 of JPEG-looking bytes, in whole quads.
    std::string picture((room / 4) * 4, 'A');
    picture.replace(0, 4, "/9j/");
    return head + picture + tail;
}

}  // namespace vexa::test
