#include "sandbox/http_server.h"

#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "sandbox/io_listener.h"
#include "sandbox/tls_sessions.h"

namespace vexa::sandbox {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using error_code = beast::error_code;
using TimePoint = std::chrono::steady_clock::time_point;

// Hosts keep a connection (and its TLS session) for their whole run; the count only bounds it.
constexpr unsigned kKeepAliveRequests = 1000;
constexpr uint32_t kHeaderLimit = 16 * 1024;
// How much of a request is read before its headers are parsed.
constexpr size_t kReadChunk = 16 * 1024;
// A closing connection: the TLS goodbye, or the client's end after ours.
constexpr auto kGoodbye = std::chrono::seconds(2);
// A stop waits this long for the requests being answered.
constexpr auto kStopWait = std::chrono::seconds(30);

// What a connection over a cap is told before it is closed.
const std::string kOverCapReply =
    "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

// The Host header when it looks like one ("name-or-address[:port]"), so that links point where
// the client reached the sandbox; else empty.
std::string HostOf(std::string_view host) {
    if (host.empty() || host.size() > 255) return {};
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!ok) return {};
    }
    return std::string(host);
}

bool IEquals(std::string_view a, std::string_view b) { return beast::iequals(a, b); }

// What every connection of the two listeners reads; it outlives the listeners while a connection
// still runs.
struct Settings {
    Settings(Service& service, const ListenerOptions& options, IoRuntime& runtime)
        : service(service), options(options), runtime(runtime) {}

    Service& service;
    const ListenerOptions options;
    IoRuntime& runtime;
    // Connections make their SSL from it, which OpenSSL counts as a change.
    mutable ssl::context tls{ssl::context::tls_server};
    std::string httpBase;
    std::string httpsBase;
};

template <class Stream>
class HttpConnection : public Connection {
public:
    static constexpr bool kSecure = !std::is_same_v<Stream, beast::tcp_stream>;

    HttpConnection(tcp::socket socket, std::shared_ptr<const Settings> settings)
        : Connection(socket.get_executor()),
          settings_(std::move(settings)),
          remote_(RemoteOf(socket)),
          stream_(MakeStream(std::move(socket), *settings_)),
          room_(Executor()) {}

    void Start() override {
        if constexpr (kSecure) {
            phase_ = Phase::kHandshake;
            Lowest().expires_after(Timeouts().handshake);
            stream_.async_handshake(ssl::stream_base::server, [self = Self()](const error_code& ec) {
                if (ec) return self->Close();
                self->AwaitRequest();
            });
        } else {
            AwaitRequest();
        }
    }

    void Stop() override {
        stopping_ = true;
        if (phase_ == Phase::kAnswering || phase_ == Phase::kReplying) return;
        Close();
    }

private:
    enum class Phase {
        kHandshake,
        kIdle,
        kReading,
        kWaitingForRoom,
        kAnswering,
        kReplying,
        kClosing,
        kClosed
    };

    static std::string RemoteOf(const tcp::socket& socket) {
        error_code ignored;
        return socket.remote_endpoint(ignored).address().to_string();
    }
    static Stream MakeStream(tcp::socket socket, const Settings& settings) {
        if constexpr (kSecure) {
            return Stream(std::move(socket), settings.tls);
        } else {
            return Stream(std::move(socket));
        }
    }

    std::shared_ptr<HttpConnection> Self() {
        return std::static_pointer_cast<HttpConnection>(shared_from_this());
    }
    beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }
    const HttpTimeouts& Timeouts() const { return settings_->options.timeouts; }

    // Waits for the next request's first bytes, for the idle time at most.
    void AwaitRequest() {
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        parser_->body_limit(kMaxRequestBytes);
        if (buffer_.size() > 0) return BeginRequest();  // the client sent it already
        phase_ = Phase::kIdle;
        Lowest().expires_after(Timeouts().idle);
        stream_.async_read_some(buffer_.prepare(kReadChunk),
                                [self = Self()](const error_code& ec, size_t got) {
                                    if (ec) return self->Close();
                                    self->buffer_.commit(got);
                                    self->BeginRequest();
                                });
    }

    // The request has begun: all of it must arrive within the request time from now.
    void BeginRequest() {
        phase_ = Phase::kReading;
        deadline_ = std::chrono::steady_clock::now() + Timeouts().request;
        Lowest().expires_at(deadline_);
        http::async_read_header(stream_, buffer_, *parser_, [self = Self()](const error_code& ec, size_t) {
            if (ec) return self->ReadFailed(ec);
            self->HeaderRead();
        });
    }

    void ReadFailed(const error_code& ec) {
        if (phase_ == Phase::kClosed) return;
        if (ec == http::error::body_limit) return Refuse(http::status::payload_too_large);
        if (ec == beast::error::timeout || ec == net::error::eof || ec == net::error::operation_aborted ||
            ec == http::error::end_of_stream || ec == net::error::connection_reset) {
            return Close();
        }
        Refuse(http::status::bad_request);
    }

    void HeaderRead() {
        if (parser_->is_done()) return Answer();
        // The body goes into one buffer of its announced length; a chunked one may take the most.
        const auto length = parser_->content_length();
        bodyBytes_ = length ? static_cast<size_t>(*length) : kMaxRequestBytes;
        if (bodyBytes_ > settings_->runtime.Budget().Capacity())
            return Refuse(http::status::service_unavailable);
        TakeRoom();
    }

    // A share of the body budget for the body, at once or when room is given back; a request
    // that gets none within its time is answered 503.
    void TakeRoom() {
        BodyBudget::Attempt attempt =
            settings_->runtime.Budget().Take(bodyBytes_, [weak = weak_from_this(), executor = Executor()] {
                net::post(executor, [weak] {
                    if (const std::shared_ptr<Connection> self = weak.lock()) {
                        static_cast<HttpConnection&>(*self).RoomGiven();
                    }
                });
            });
        if (attempt.lease) {
            lease_ = std::move(attempt.lease);
            watch_.Reset();
            room_.cancel();
            return ReadBody();
        }
        watch_ = std::move(attempt.watch);
        if (phase_ == Phase::kWaitingForRoom) return;
        phase_ = Phase::kWaitingForRoom;
        room_.expires_at(deadline_);
        room_.async_wait([self = Self()](const error_code& ec) {
            if (ec || self->phase_ != Phase::kWaitingForRoom) return;
            self->watch_.Reset();
            self->Refuse(http::status::service_unavailable);
        });
    }

    void RoomGiven() {
        if (phase_ == Phase::kWaitingForRoom) TakeRoom();
    }

    void ReadBody() {
        phase_ = Phase::kReading;
        const auto expect = parser_->get().find(http::field::expect);
        if (expect != parser_->get().end() && IEquals(expect->value(), "100-continue")) {
            continue_.emplace(http::status::continue_, 11);
            return http::async_write(stream_, *continue_, [self = Self()](const error_code& ec, size_t) {
                self->continue_.reset();
                if (ec) return self->Close();
                self->ReadRestOfBody();
            });
        }
        ReadRestOfBody();
    }

    void ReadRestOfBody() {
        http::async_read(stream_, buffer_, *parser_, [self = Self()](const error_code& ec, size_t) {
            if (ec) return self->ReadFailed(ec);
            self->Answer();
        });
    }

    // The whole request goes to a worker; its reply comes back here.
    void Answer() {
        phase_ = Phase::kAnswering;
        Lowest().expires_never();
        http::request<http::string_body> received = parser_->release();
        parser_.reset();
        ++requests_;
        keep_ = settings_->options.keepAlive && requests_ < kKeepAliveRequests && received.keep_alive();
        head_ = received.method() == http::verb::head;
        ServiceRequest request;
        request.method = std::string(received.method_string());
        request.target = std::string(received.target());
        request.authorization = std::string(received[http::field::authorization]);
        request.realm = std::string(received["Auth-Realm"]);
        request.body = std::move(received.body());
        const std::string host = HostOf(received[http::field::host]);
        const char* scheme = kSecure ? "https" : "http";
        request.baseUrl = host.empty() ? (kSecure ? settings_->httpsBase : settings_->httpBase)
                                       : scheme + std::string("://") + host;
        request.remoteAddress = remote_;
        request.host = std::string(received[http::field::host]);
        request.cookie = std::string(received[http::field::cookie]);
        request.inboxMarker = std::string(received["X-Vexa-Inbox"]);
        line_ = std::string(scheme) + " " + request.method + " " + request.target;
        net::post(settings_->runtime.Workers(), [self = Self(), request = std::move(request),
                                                 lease = std::exchange(lease_, std::nullopt)]() mutable {
            ServiceReply reply;
            try {
                reply = self->settings_->service.Handle(request);
            } catch (...) {
                // Out of memory, say: the client is told, and the worker lives on.
                reply.status = 500;
            }
            // The body's memory and its share go back before the reply is written.
            request = {};
            lease.reset();
            net::post(self->Executor(),
                      [self, reply = std::move(reply)]() mutable { self->Reply(std::move(reply)); });
        });
    }

    void Reply(ServiceReply reply) {
        if (phase_ != Phase::kAnswering) return;
        http::response<http::string_body>& response = response_.emplace();
        response.version(11);
        response.result(static_cast<unsigned>(reply.status));
        if (http::obsolete_reason(response.result()) == "<unknown-status>") response.reason("Unknown");
        for (auto& [name, value] : reply.headers) response.set(name, value);
        if (!reply.contentType.empty()) response.set(http::field::content_type, reply.contentType);
        response.body() = std::move(reply.body);
        response.keep_alive(keep_ && !stopping_);
        response.prepare_payload();
        // A reply to HEAD says how long the body is, and leaves it out.
        if (head_) response.body().clear();
        Log(reply.status);
        Send();
    }

    // An error reply that ends the connection.
    void Refuse(http::status status) {
        keep_ = false;
        watch_.Reset();
        lease_.reset();
        http::response<http::string_body>& response = response_.emplace(status, 11);
        response.keep_alive(false);
        response.prepare_payload();
        if (parser_ && parser_->is_header_done()) {
            const auto& request = parser_->get();
            line_ = std::string(kSecure ? "https " : "http ") + std::string(request.method_string()) + " " +
                    std::string(request.target());
            Log(static_cast<int>(status));
        }
        Send();
    }

    void Send() {
        phase_ = Phase::kReplying;
        Lowest().expires_after(Timeouts().reply);
        http::async_write(stream_, *response_, [self = Self()](const error_code& ec, size_t) {
            const bool keep = self->response_->keep_alive();
            self->response_.reset();
            if (ec) return self->Close();
            if (!keep || self->stopping_) return self->Goodbye();
            self->AwaitRequest();
        });
    }

    // Ends the connection after a reply that said so: the TLS goodbye, or our side of TCP closed
    // and the client's end awaited, so that closing with its bytes unread does not reset the
    // connection under the reply.
    void Goodbye() {
        phase_ = Phase::kClosing;
        Lowest().expires_after(kGoodbye);
        if constexpr (kSecure) {
            stream_.async_shutdown([self = Self()](const error_code&) { self->Close(); });
        } else {
            error_code ignored;
            Lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
            Drain();
        }
    }

    void Drain() {
        stream_.async_read_some(buffer_.prepare(kReadChunk), [self = Self()](const error_code& ec, size_t) {
            if (ec) return self->Close();
            self->Drain();
        });
    }

    void Close() {
        if (phase_ == Phase::kClosed) return;
        phase_ = Phase::kClosed;
        watch_.Reset();
        lease_.reset();
        room_.cancel();
        Lowest().close();
    }

    void Log(int status) const {
        if (settings_->options.log) settings_->options.log(line_ + " " + std::to_string(status));
    }

    const std::shared_ptr<const Settings> settings_;
    const std::string remote_;
    Stream stream_;
    net::steady_timer room_;  // a request waiting for room in the body budget
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::optional<http::response<http::empty_body>> continue_;
    std::optional<http::response<http::string_body>> response_;
    std::optional<BodyBudget::Lease> lease_;
    BodyBudget::Watch watch_;
    Phase phase_ = Phase::kIdle;
    TimePoint deadline_;
    size_t bodyBytes_ = 0;
    unsigned requests_ = 0;
    bool keep_ = true;
    bool head_ = false;
    bool stopping_ = false;
    std::string line_;  // "scheme METHOD target" of the request answered
};

template <class Stream>
Acceptor::Make MakeConnections(const std::shared_ptr<const Settings>& settings) {
    return [settings](tcp::socket socket) {
        return std::make_shared<HttpConnection<Stream>>(std::move(socket), settings);
    };
}

}  // namespace

std::string EndpointHost(const std::string& bindAddress) {
    if (bindAddress == "0.0.0.0" || bindAddress.empty()) return "127.0.0.1";
    if (bindAddress == "::") return "[::1]";
    if (bindAddress.find(':') != std::string::npos) return "[" + bindAddress + "]";
    return bindAddress;
}

struct HttpServer::State {
    std::unique_ptr<Acceptor> http;
    std::unique_ptr<Acceptor> https;
    bool stopped = false;
};

HttpServer::HttpServer(Service& service, const ListenerOptions& options, IoRuntime& runtime)
    : state_(std::make_unique<State>()) {
    auto settings = std::make_shared<Settings>(service, options, runtime);
    try {
        settings->tls.use_certificate_chain_file(options.certificate.certificate.string());
        settings->tls.use_private_key_file(options.certificate.privateKey.string(), ssl::context::pem);
    } catch (const boost::system::system_error&) {
        throw std::runtime_error("https listener: cannot be set up (certificate?)");
    }
    SSL_CTX_set_min_proto_version(settings->tls.native_handle(), TLS1_2_VERSION);
    EnableSessionResumption(settings->tls.native_handle());
    state_->http = std::make_unique<Acceptor>(runtime, "http", options.bindAddress, options.http,
                                              MakeConnections<beast::tcp_stream>(settings), kOverCapReply);
    state_->https =
        std::make_unique<Acceptor>(runtime, "https", options.bindAddress, options.https,
                                   MakeConnections<beast::ssl_stream<beast::tcp_stream>>(settings));
    const std::string host = EndpointHost(options.bindAddress);
    settings->httpBase = "http://" + host + ":" + std::to_string(state_->http->Port());
    settings->httpsBase = "https://" + host + ":" + std::to_string(state_->https->Port());
    endpoints_ = {settings->httpBase, settings->httpsBase, {}};
    state_->http->Start();
    state_->https->Start();
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::HttpPort() const { return state_->http->Port(); }
int HttpServer::HttpsPort() const { return state_->https->Port(); }

void HttpServer::Stop() {
    if (state_->stopped) return;
    state_->stopped = true;
    for (const auto& acceptor : {state_->http.get(), state_->https.get()}) acceptor->Stop(kStopWait);
}

}  // namespace vexa::sandbox
