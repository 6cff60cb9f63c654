#include "scripted_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <stdexcept>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "loopback_listener.h"
#include "sandbox/certificate.h"

namespace vexa::test {

using sandbox::CertificateFiles;
using sandbox::WriteTestCertificate;

namespace {

constexpr size_t kMaxHead = 1024 * 1024;
// A small receive buffer: a client whose request is never read blocks after little data.

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A directory of its own under the temporary directory, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexa-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) Fail("mkdtemp");
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct SslContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextDeleter>;
using SslPtr = std::unique_ptr<SSL, SslDeleter>;

SslContextPtr MakeServerContext(const CertificateFiles& files) {
    SslContextPtr context(SSL_CTX_new(TLS_server_method()));
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(context.get(), files.certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context.get(), files.privateKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1) {
        ERR_clear_error();
        throw std::runtime_error("scripted server: TLS context");
    }
    return context;
}

// One accepted connection, plain or TLS. Every wait also watches the server's stop signal.
class Connection {
public:
    Connection(UniqueFd fd, SSL_CTX* tls, int stop, int wake) : fd_(std::move(fd)), stop_(stop), wake_(wake) {
        if (tls) {
            ssl_.reset(SSL_new(tls));
            if (ssl_) SSL_set_fd(ssl_.get(), fd_.Get());
        }
        tls_ = tls != nullptr;
    }
    ~Connection() { ERR_clear_error(); }

    bool Handshake() {
        if (!tls_) return true;
        return ssl_ && WaitFor(POLLIN) && SSL_accept(ssl_.get()) == 1;
    }

    bool Resumed() const { return tls_ && ssl_ && SSL_session_reused(ssl_.get()) == 1; }

    // Appends what arrives; false at the end of the stream, on an error, or when the server stops.
    bool ReadSome(std::string& into) {
        char chunk[16 * 1024];
        if (!(tls_ && SSL_pending(ssl_.get()) > 0) && !WaitFor(POLLIN)) return false;
        const ssize_t n =
            tls_ ? SSL_read(ssl_.get(), chunk, sizeof chunk) : ::recv(fd_.Get(), chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        into.append(chunk, static_cast<size_t>(n));
        return true;
    }

    bool WriteAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = tls_ ? SSL_write(ssl_.get(), bytes.data(), static_cast<int>(bytes.size()))
                                   : ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

    // Reads nothing more and answers nothing until the client hangs up or the server stops.
    void HoldUntilClientLeaves() { WaitFor(POLLRDHUP); }

    void Finish() {
        if (tls_) SSL_shutdown(ssl_.get());
        ::shutdown(fd_.Get(), SHUT_WR);
    }

private:
    // True when the connection shows `events` (or hangs up); false once the server stops or
    // the connection is woken to close.
    bool WaitFor(short events) {
        pollfd fds[3] = {{fd_.Get(), events, 0}, {stop_, POLLIN, 0}, {wake_, POLLIN, 0}};
        while (::poll(fds, 3, -1) < 0) {
            if (errno != EINTR) return false;
        }
        return ((fds[1].revents | fds[2].revents) & POLLIN) == 0;
    }

    UniqueFd fd_;
    int stop_;
    int wake_;
    bool tls_ = false;
    SslPtr ssl_;
};

// Parses the request line and header lines (the head without its blank line).
bool ParseHead(std::string_view head, RecordedRequest& request) {
    size_t end = head.find("\r\n");
    const std::string_view line = head.substr(0, end);
    const size_t first = line.find(' ');
    const size_t second = line.rfind(' ');
    if (first == line.npos || second == first) return false;
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, second - first - 1);
    request.version = line.substr(second + 1);
    while (end != head.npos) {
        const size_t start = end + 2;
        end = head.find("\r\n", start);
        const std::string_view field = head.substr(start, end == head.npos ? head.npos : end - start);
        const size_t colon = field.find(':');
        if (colon == field.npos) return false;
        request.headers.emplace_back(field.substr(0, colon), Trim(field.substr(colon + 1)));
    }
    return true;
}

// Decodes a chunked body from the start of `data`: the bytes it took, 0 while it is incomplete,
// npos when it is malformed.
size_t DecodeChunked(std::string_view data, std::string& body) {
    body.clear();
    size_t at = 0;
    while (true) {
        const size_t lineEnd = data.find("\r\n", at);
        if (lineEnd == data.npos) return 0;
        char* parsed = nullptr;
        const std::string sizeText(data.substr(at, lineEnd - at));
        const unsigned long size = std::strtoul(sizeText.c_str(), &parsed, 16);
        if (parsed == sizeText.c_str()) return std::string_view::npos;
        at = lineEnd + 2;
        if (size == 0) {
            // Trailer lines, then the blank line.
            while (true) {
                const size_t trailerEnd = data.find("\r\n", at);
                if (trailerEnd == data.npos) return 0;
                const bool blank = trailerEnd == at;
                at = trailerEnd + 2;
                if (blank) return at;
            }
        }
        if (data.size() < at + size + 2) return 0;
        body.append(data.substr(at, size));
        at += size + 2;
    }
}

// A server that closes the connection after its reply has to say so in it (else the client may
// keep the connection for its next request and find it closed only once that is sent): the
// reply with "Connection: close" as its first header, unless it names Connection itself or is
// not an HTTP reply at all.
ScriptedReply SayingClose(ScriptedReply reply) {
    const std::string& bytes = reply.bytes;
    const size_t lineEnd = bytes.find("\r\n");
    if (!bytes.starts_with("HTTP/1.") || lineEnd == std::string::npos) return reply;
    const size_t headEnd = bytes.find("\r\n\r\n");
    const std::string_view head = std::string_view(bytes).substr(0, headEnd);
    for (size_t at = head.find("\r\n"); at != std::string_view::npos; at = head.find("\r\n", at + 2)) {
        if (strncasecmp(head.data() + at + 2, "Connection:", 11) == 0) return reply;
    }
    reply.bytes.insert(lineEnd + 2, "Connection: close\r\n");
    return reply;
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoringCase(key, name)) return value;
    }
    return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const {
    for (const auto& header : headers) {
        if (EqualsIgnoringCase(header.first, name)) return true;
    }
    return false;
}

struct ScriptedServer::State {
    explicit State(Options serverOptions);
    ~State();

    void Run();
    void ServeConnection(UniqueFd fd);
    // One request on the connection: false when the connection ends after it.
    bool ServeOne(Connection& connection, int fd, int wake, std::string& buffer);
    void SetIdle(int fd, int wake, bool idle);
    // Reads the body after the head (buffer holds the head and `bodyStart` is past its blank line).
    bool ReadBody(Connection& connection, std::string& buffer, size_t bodyStart, RecordedRequest& request);
    bool Send(Connection& connection, const ScriptedReply& reply);
    // False when the server stops during the pause.
    bool Pause(std::chrono::milliseconds delay) const;
    void Record(const RecordedRequest& request);
    // Takes a queued stall from the front: it answers before the body is read.
    bool TakeQueuedStall();
    ScriptedReply NextReply(const RecordedRequest& request);

    Options options;
    std::optional<TemporaryDirectory> directory;
    std::string certificateFile;
    SslContextPtr tls;
    UniqueFd listener;
    UniqueFd stop;  // an eventfd, readable once the server stops
    uint16_t port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    std::deque<ScriptedReply> queue;
    std::function<ScriptedReply(const RecordedRequest&)> handler;
    std::vector<RecordedRequest> requests;
    size_t accepted = 0;
    size_t resumed = 0;
    std::set<int> open;       // the connections' sockets
    std::map<int, int> idle;  // those waiting for the next request, with their wake events
    mutable std::condition_variable closed;
    std::vector<std::thread> connections;
    bool stopping = false;

    std::thread thread;  // last: it starts once everything else is ready
};

ScriptedServer::State::State(Options serverOptions) : options(std::move(serverOptions)) {
    if (options.tls) {
        directory.emplace();
        const CertificateFiles files = WriteTestCertificate(directory->Path(), options.certificateNames);
        certificateFile = files.certificate.string();
        tls = MakeServerContext(files);
    }
    LoopbackListener socket = ListenOnLoopback(options.port);
    stop = std::move(socket.stop);
    listener = std::move(socket.listener);
    port = socket.port;
    thread = std::thread([this] { Run(); });
}

ScriptedServer::State::~State() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        // Wakes the reads and TLS handshakes that wait on clients.
        for (const int fd : open) ::shutdown(fd, SHUT_RDWR);
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop.Get(), &one, sizeof one);
    ::shutdown(listener.Get(), SHUT_RDWR);
    if (thread.joinable()) thread.join();
    // No connection starts any more: the thread that starts them is gone.
    for (std::thread& connection : connections) connection.join();
}

void ScriptedServer::State::Run() {
    // A client that hangs up while the server writes must not end the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (true) {
        pollfd fds[2] = {{listener.Get(), POLLIN, 0}, {stop.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & POLLIN)) continue;
        UniqueFd fd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (fd.Get() < 0) continue;
        std::lock_guard lock(mutex);
        if (stopping) return;
        ++accepted;
        open.insert(fd.Get());
        connections.emplace_back([this, fd = std::move(fd)]() mutable { ServeConnection(std::move(fd)); });
    }
}

void ScriptedServer::State::ServeConnection(UniqueFd fd) {
    const int raw = fd.Get();
    const UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
    Connection connection(std::move(fd), tls.get(), stop.Get(), wake.Get());
    if (connection.Handshake()) {
        if (connection.Resumed()) {
            std::lock_guard lock(mutex);
            ++resumed;
        }
        std::string buffer;
        while (ServeOne(connection, raw, wake.Get(), buffer)) {
        }
    }
    // Forgotten before the socket closes with the connection, so its number cannot be another's.
    std::lock_guard lock(mutex);
    open.erase(raw);
    idle.erase(raw);
    closed.notify_all();
}

bool ScriptedServer::State::ServeOne(Connection& connection, int fd, int wake, std::string& buffer) {
    size_t headEnd;
    SetIdle(fd, wake, buffer.empty());
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > kMaxHead || !connection.ReadSome(buffer)) {
            // The client left, or the server closes a connection that waited too long.
            if (buffer.empty()) connection.Finish();
            return false;
        }
        SetIdle(fd, wake, false);
    }
    RecordedRequest request;
    if (!ParseHead(std::string_view(buffer).substr(0, headEnd), request)) return false;
    if (TakeQueuedStall()) {
        request.raw = buffer;
        Record(request);
        connection.HoldUntilClientLeaves();
        return false;
    }
    if (!ReadBody(connection, buffer, headEnd + 4, request)) return false;
    Record(request);
    const ScriptedReply reply = NextReply(request);
    if (reply.stall) {
        connection.HoldUntilClientLeaves();
        return false;
    }
    if (reply.hangUp) {
        connection.Finish();
        return false;
    }
    if (!options.keepAlive) {
        if (Send(connection, SayingClose(reply))) connection.Finish();
        return false;
    }
    if (!Send(connection, reply)) return false;
    buffer.erase(0, request.raw.size());
    return true;
}

void ScriptedServer::State::SetIdle(int fd, int wake, bool waiting) {
    std::lock_guard lock(mutex);
    if (waiting) {
        idle[fd] = wake;
        closed.notify_all();
    } else {
        idle.erase(fd);
    }
}

bool ScriptedServer::State::ReadBody(Connection& connection, std::string& buffer, size_t bodyStart,
                                     RecordedRequest& request) {
    if (EqualsIgnoringCase(request.Header("Transfer-Encoding"), "chunked")) {
        while (true) {
            const size_t used = DecodeChunked(std::string_view(buffer).substr(bodyStart), request.body);
            if (used == std::string_view::npos) return false;
            if (used != 0) {
                request.raw = buffer.substr(0, bodyStart + used);
                return true;
            }
            if (!connection.ReadSome(buffer)) return false;
        }
    }
    const std::string lengthText = request.Header("Content-Length");
    char* parsed = nullptr;
    const size_t length = lengthText.empty() ? 0 : std::strtoull(lengthText.c_str(), &parsed, 10);
    if (!lengthText.empty() && *parsed != '\0') return false;
    while (buffer.size() < bodyStart + length) {
        if (!connection.ReadSome(buffer)) return false;
    }
    request.body = buffer.substr(bodyStart, length);
    request.raw = buffer.substr(0, bodyStart + length);
    return true;
}

bool ScriptedServer::State::Send(Connection& connection, const ScriptedReply& reply) {
    if (!Pause(reply.delayBeforeFirstByte)) return false;
    if (reply.pieceSize == 0) return connection.WriteAll(reply.bytes);
    std::string_view rest = reply.bytes;
    while (!rest.empty()) {
        const std::string_view piece = rest.substr(0, reply.pieceSize);
        rest.remove_prefix(piece.size());
        if (!connection.WriteAll(piece)) return false;
        if (!rest.empty() && !Pause(reply.delayBetweenPieces)) return false;
    }
    return true;
}

bool ScriptedServer::State::Pause(std::chrono::milliseconds delay) const {
    if (delay.count() <= 0) return true;
    pollfd fd{stop.Get(), POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(delay.count())) == 0;
}

void ScriptedServer::State::Record(const RecordedRequest& request) {
    std::lock_guard lock(mutex);
    requests.push_back(request);
    arrived.notify_all();
}

bool ScriptedServer::State::TakeQueuedStall() {
    std::lock_guard lock(mutex);
    if (queue.empty() || !queue.front().stall) return false;
    queue.pop_front();
    return true;
}

ScriptedReply ScriptedServer::State::NextReply(const RecordedRequest& request) {
    std::function<ScriptedReply(const RecordedRequest&)> answer;
    {
        std::lock_guard lock(mutex);
        if (!queue.empty()) {
            ScriptedReply reply = std::move(queue.front());
            queue.pop_front();
            return reply;
        }
        answer = handler;
    }
    if (answer) return answer(request);
    return ScriptedReply{HttpReply(500, "no scripted reply", "text/plain")};
}

ScriptedServer::ScriptedServer() : ScriptedServer(Options{}) {}

ScriptedServer::ScriptedServer(Options options) : state_(std::make_unique<State>(std::move(options))) {}

ScriptedServer::~ScriptedServer() = default;

uint16_t ScriptedServer::Port() const { return state_->port; }

std::string ScriptedServer::Url() const {
    return std::string(state_->options.tls ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(state_->port);
}

void ScriptedServer::Reply(std::string rawBytes) { Reply(ScriptedReply{std::move(rawBytes)}); }

void ScriptedServer::Reply(ScriptedReply reply) {
    std::lock_guard lock(state_->mutex);
    state_->queue.push_back(std::move(reply));
}

void ScriptedServer::SetHandler(std::function<ScriptedReply(const RecordedRequest&)> handler) {
    std::lock_guard lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::vector<RecordedRequest> ScriptedServer::Requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

bool ScriptedServer::WaitForRequests(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->arrived.wait_for(lock, timeout, [&] { return state_->requests.size() >= n; });
}

const std::string& ScriptedServer::CertificateFile() const { return state_->certificateFile; }

size_t ScriptedServer::Connections() const {
    std::lock_guard lock(state_->mutex);
    return state_->accepted;
}

size_t ScriptedServer::ResumedConnections() const {
    std::lock_guard lock(state_->mutex);
    return state_->resumed;
}

size_t ScriptedServer::OpenConnections() const {
    std::lock_guard lock(state_->mutex);
    return state_->open.size();
}

void ScriptedServer::CloseIdleConnections() {
    std::unique_lock lock(state_->mutex);
    // A connection that just sent its reply is about to wait for the next request.
    state_->closed.wait_for(lock, std::chrono::seconds(10),
                            [&] { return state_->idle.size() == state_->open.size(); });
    const std::map<int, int> closing = state_->idle;
    // The waiting read gives up and the connection closes as after a reply.
    const uint64_t one = 1;
    for (const auto& [fd, wake] : closing) {
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }
    state_->closed.wait(lock, [&] {
        return std::none_of(closing.begin(), closing.end(),
                            [&](const auto& entry) { return state_->open.count(entry.first) != 0; });
    });
}

std::string HttpReply(int status, std::string_view body, std::string_view contentType,
                      const std::vector<std::string>& extraHeaders) {
    const char* reason = "Status";
    switch (status) {
        case 200:
            reason = "OK";
            break;
        case 302:
            reason = "Found";
            break;
        case 400:
            reason = "Bad Request";
            break;
        case 401:
            reason = "Unauthorized";
            break;
        case 404:
            reason = "Not Found";
            break;
        case 500:
            reason = "Internal Server Error";
            break;
    }
    const time_t now = std::time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    char date[64];
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &utc);

    std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    if (!contentType.empty()) reply += "Content-Type: " + std::string(contentType) + "\r\n";
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    reply += "Date: " + std::string(date) + "\r\n";
    for (const std::string& header : extraHeaders) reply += header + "\r\n";
    reply += "\r\n";
    reply += body;
    return reply;
}

}  // namespace vexa::test
