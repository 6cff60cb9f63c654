#include "sandbox/http_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <httplib.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>

#include "sandbox/tls_sessions.h"

namespace vexa::sandbox {

namespace {

constexpr size_t kMaxRequestBytes = 16 * 1024 * 1024;
// Hosts keep a connection (and its TLS session) for their whole run; the count only bounds it.
constexpr size_t kKeepAliveRequests = 1000;
// An idle connection is closed after this long. Until then it holds a worker, and a stop waits
// for it.
constexpr time_t kKeepAliveSeconds = 5;
// Workers per listener. Each open connection holds one, busy or idle, so this many hosts keep a
// connection at once; one more waits for a worker until another connection closes (an idle one
// within kKeepAliveSeconds).
constexpr size_t kWorkers = 32;

// The Host header when it looks like one ("name-or-address[:port]"), so that links point where
// the client reached the sandbox; else empty.
std::string HostOf(const httplib::Request& req) {
    const std::string host = req.get_header_value("Host");
    if (host.empty() || host.size() > 255) return {};
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!ok) return {};
    }
    return host;
}

}  // namespace

std::string EndpointHost(const std::string& bindAddress) {
    if (bindAddress == "0.0.0.0" || bindAddress.empty()) return "127.0.0.1";
    if (bindAddress == "::") return "[::1]";
    if (bindAddress.find(':') != std::string::npos) return "[" + bindAddress + "]";
    return bindAddress;
}

class HttpServer::Listener {
public:
    Listener(std::unique_ptr<httplib::Server> server, const std::string& scheme, Service& service,
             const ListenerOptions& options, const PortChoice& choice)
        : server_(std::move(server)) {
        if (!server_->is_valid()) {
            throw std::runtime_error(scheme + " listener: cannot be set up (certificate?)");
        }
        // Only SO_REUSEADDR, so a restart may take its port back at once; the library's default
        // also sets SO_REUSEPORT, with which a second sandbox on the same port would share its
        // connections instead of failing to start.
        server_->set_socket_options([](socket_t sock) {
            const int yes = 1;
            ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        // A reply goes out in several writes (TLS records); without this the kernel holds the
        // last one back until the client's delayed acknowledgement, some 40 ms per exchange.
        server_->set_tcp_nodelay(true);
        // Without keep-alive each reply says "Connection: close" and its connection ends there.
        server_->set_keep_alive_max_count(options.keepAlive ? kKeepAliveRequests : 1);
        server_->set_keep_alive_timeout(kKeepAliveSeconds);
        // The library owns the queue it is handed.
        server_->new_task_queue = [] { return std::make_unique<httplib::ThreadPool>(kWorkers).release(); };
        server_->set_payload_max_length(kMaxRequestBytes);
        Route(service, scheme);
        if (options.log) {
            server_->set_logger(
                [log = options.log, scheme](const httplib::Request& req, const httplib::Response& res) {
                    log(scheme + " " + req.method + " " + req.target + " " + std::to_string(res.status));
                });
        }
        port_ = ListenOn(choice, [&](int port) {
            const int bound = port == 0 ? server_->bind_to_any_port(options.bindAddress)
                                        : (server_->bind_to_port(options.bindAddress, port) ? port : -1);
            if (bound <= 0) {
                throw std::runtime_error(scheme + " listener: cannot listen on " + options.bindAddress + ":" +
                                         std::to_string(port));
            }
            return bound;
        });
        baseUrl_ = scheme + "://" + EndpointHost(options.bindAddress) + ":" + std::to_string(port_);

        thread_ = std::thread([this] {
            // A client that hangs up while it is answered must not end the process; the workers
            // started from here inherit this.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            server_->listen_after_bind();
            finished_ = true;
        });
        // stop() does nothing to a server that has not started listening yet.
        while (!server_->is_running() && !finished_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!server_->is_running()) {
            thread_.join();
            throw std::runtime_error(scheme + " listener: did not start");
        }
    }

    ~Listener() {
        StopAccepting();
        Wait();
    }

    void StopAccepting() {
        if (!thread_.joinable() || stopRequested_) return;
        stopRequested_ = true;
        server_->stop();
    }
    // Returns once the requests in flight are answered.
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

    const std::string& BaseUrl() const { return baseUrl_; }
    int Port() const { return port_; }

private:
    void Route(Service& service, const std::string& scheme) {
        const httplib::Server::Handler handler = [this, &service, scheme](const httplib::Request& req,
                                                                          httplib::Response& res) {
            const std::string host = HostOf(req);
            ServiceRequest request;
            request.method = req.method;
            request.target = req.target;
            request.authorization = req.get_header_value("Authorization");
            request.realm = req.get_header_value("Auth-Realm");
            request.body = req.body;
            request.baseUrl = host.empty() ? baseUrl_ : scheme + "://" + host;
            request.remoteAddress = req.remote_addr;
            ServiceReply reply = service.Handle(request);
            res.status = reply.status;
            for (const auto& [name, value] : reply.headers) res.set_header(name, value);
            res.set_content(std::move(reply.body), reply.contentType);
        };
        // Every path reaches the service, which tells what is not there.
        server_->Get(".*", handler);
        server_->Post(".*", handler);
        server_->Put(".*", handler);
        server_->Delete(".*", handler);
        server_->Patch(".*", handler);
        server_->Options(".*", handler);
    }

    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::string baseUrl_;
    std::atomic<bool> finished_{false};
    bool stopRequested_ = false;
    std::thread thread_;
};

HttpServer::HttpServer(Service& service, const ListenerOptions& options) {
    http_ = std::make_unique<Listener>(std::make_unique<httplib::Server>(), "http", service, options,
                                       options.http);
    auto https = std::make_unique<httplib::SSLServer>(options.certificate.certificate.c_str(),
                                                      options.certificate.privateKey.c_str());
    if (https->is_valid()) EnableSessionResumption(https->ssl_context());
    https_ = std::make_unique<Listener>(std::move(https), "https", service, options, options.https);
    endpoints_ = {http_->BaseUrl(), https_->BaseUrl()};
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::HttpPort() const { return http_->Port(); }
int HttpServer::HttpsPort() const { return https_->Port(); }

void HttpServer::Stop() {
    // Both stop accepting first, then both drain.
    for (Listener* listener : {http_.get(), https_.get()}) {
        if (listener) listener->StopAccepting();
    }
    for (Listener* listener : {http_.get(), https_.get()}) {
        if (listener) listener->Wait();
    }
}

}  // namespace vexa::sandbox
