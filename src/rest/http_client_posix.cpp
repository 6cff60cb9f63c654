#include <algorithm>
#include <cctype>
#include <cstring>
#include <curl/curl.h>
#include <limits>
#include <mutex>
#include <new>
#include <openssl/ssl.h>
#include <optional>
#include <poll.h>
#include <string_view>

#include "platform/c_handle.h"
#include "rest/curl_sessions.h"
#include "rest/http_client.h"
#include "rest/http_text.h"

namespace vexa {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl's global state is set up once for the process and never torn down: other code in the
// host may use libcurl too, and cleanup is not safe while it does.
void InitializeCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using EasyHandle = CHandle<CURL, curl_easy_cleanup>;
using HeaderList = CHandle<curl_slist, curl_slist_free_all>;
using UrlHandle = CHandle<CURLU, curl_url_cleanup>;

// The request's URL: the scheme, the host, the port (the scheme's default when 0) and the path.
std::string RequestUrl(bool secure, const std::string& host, uint16_t port, const std::string& path) {
    std::string text = secure ? "https://" : "http://";
    text += host + ":" + std::to_string(port != 0 ? port : (secure ? 443 : 80));
    if (path.empty() || path.front() != '/') text += '/';
    text += path;
    return text;
}

// The header block in libcurl's lines: the caller's headers in order; libcurl's own Accept,
// Expect (no waiting for 100-continue) and form Content-Type are dropped unless the caller set
// them. Nullopt when a name or value would break the block.
std::optional<std::vector<std::string>> HeaderLines(
    const std::vector<std::pair<std::string, std::string>>& headers) {
    std::vector<std::string> lines;
    for (const auto& [name, value] : headers) {
        if (!IsToken(name) || !IsFieldValue(value)) return std::nullopt;
        // "Name;" is libcurl's way to send a header with an empty value.
        lines.push_back(value.empty() ? name + ";" : name + ": " + value);
    }
    for (const char* own : {"Accept", "Expect", "Content-Type"}) {
        const bool set = std::any_of(headers.begin(), headers.end(), [&](const auto& header) {
            return EqualsIgnoringCase(header.first, own);
        });
        if (!set) lines.push_back(std::string(own) + ":");
    }
    return lines;
}

}  // namespace

// One exchange's libcurl handle with everything its callbacks read and fill.
struct HttpClient::Transfer {
    // What the reply's header block said (of the final response, not of an interim 1xx).
    struct Reply {
        long status = 0;
        int64_t length = -1;  // -1 when no Content-Length came
        std::string contentType;
        std::string date;
        bool headersDone = false;
    };

    bool Configure(const HttpClient& client, const std::string& method, const std::string& path,
                   const char* body, size_t length);
    bool SetUrl(const std::string& text);
    bool SetHeaders(const std::vector<std::string>& lines);
    bool SetOptions(const HttpClient& client, const std::string& method, const char* body, size_t length);
    bool Perform(HttpResponse& response);

    // libcurl's callbacks: C frames lie above them, so nothing may unwind out of them.
    static size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept;
    static size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept;
    static int OnRequestStart(void* user, char*, char* localAddress, int, int localPort) noexcept;
    static int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded) noexcept;
    static CURLcode OnSslContext(CURL*, void* sslContext, void* user) noexcept;

    // Whether the request may go out on the connection libcurl chose for this attempt.
    bool MayStartAttempt(const char* localAddress, int localPort);
    // Runs curl_easy_perform, once more on a new connection when a kept one proved stale before
    // anything was written to it.
    CURLcode PerformOnLiveConnection();
    // The header block ended: whether to go on reading the body.
    bool HeadersComplete();
    void Received() {
        replyStarted = true;
        lastProgress = Clock::now();
    }

    HttpTimeouts timeouts;
    size_t uploadLength = 0;

    Reply reply;
    std::string body;
    bool stoppedAfterHeaders = false;  // a reply that is not 200: its body is not wanted
    bool unreadable = false;           // a 200 body over the limit, or no memory for it

    // Attempts libcurl made to send the request (it retries on a new connection when a kept one
    // died), the connections it made for them, and whether a kept connection was found stale.
    int attempts = 0;
    long connectionsMade = 0;
    bool staleConnection = false;

    // Progress, for the send and receive time-outs.
    bool requestStarted = false;
    bool sending = true;
    bool replyStarted = false;
    curl_off_t uploaded = 0;
    curl_off_t downloaded = 0;
    Clock::time_point lastProgress;

    SessionLease session;  // the process-wide connections and store, held while the handle lives
    HeaderList headers;
    UrlHandle url;
    EasyHandle easy;  // last, so it goes first: it points at the members above
};

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

bool HttpClient::Connect(const std::string& host) {
    transfer_.reset();
    host_ = host;
    InitializeCurl();
    // The host goes into a URL: libcurl's own check keeps a name with "/", "@", spaces and the
    // like from turning into another host or path.
    UrlHandle check(curl_url());
    if (!check || curl_url_set(check.get(), CURLUPART_HOST, host.c_str(), 0) != CURLUE_OK) return false;
    auto transfer = std::make_unique<Transfer>();
    transfer->easy.reset(curl_easy_init());
    if (!transfer->easy) return false;
    transfer_ = std::move(transfer);
    return true;
}

bool HttpClient::Run(HttpResponse& response, const std::string& method, const std::string& path,
                     const char* body, size_t length) {
    const std::unique_ptr<Transfer> transfer = std::move(transfer_);
    return transfer->Configure(*this, method, path, body, length) && transfer->Perform(response);
}

bool HttpClient::Transfer::Configure(const HttpClient& client, const std::string& method,
                                     const std::string& path, const char* requestBody, size_t length) {
    if (!IsToken(method) || !IsRequestTarget(path) || !IsFieldValue(client.agent_) ||
        (length != 0 && requestBody == nullptr))
        return false;
    timeouts = client.timeouts_;
    uploadLength = length;
    const std::optional<std::vector<std::string>> lines = HeaderLines(client.headers_);
    if (!lines) return false;
    session = BorrowSession(client.trustedCertificates_);
    if (!session) return false;
    return SetUrl(RequestUrl(client.secure_, client.host_, client.port_, path)) && SetHeaders(*lines) &&
           SetOptions(client, method, requestBody, length);
}

bool HttpClient::Transfer::SetUrl(const std::string& text) {
    url.reset(curl_url());
    // The caller has escaped the path; it goes out as given, dot segments included.
    return url && curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_PATH_AS_IS) == CURLUE_OK;
}

bool HttpClient::Transfer::SetHeaders(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
        if (!grown) return false;
        (void)headers.release();
        headers.reset(grown);
    }
    return true;
}

// Every libcurl option of an exchange is set here.
bool HttpClient::Transfer::SetOptions(const HttpClient& client, const std::string& method,
                                      const char* requestBody, size_t length) {
    CURL* h = easy.get();
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) rc = curl_easy_setopt(h, option, value);
    };
    set(CURLOPT_CURLU, url.get());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_CUSTOMREQUEST, method.c_str());
    if (length == 0 && (method == "GET" || method == "HEAD")) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
        set(CURLOPT_POSTFIELDS, length != 0 ? requestBody : "");
    }
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_USERAGENT, client.agent_.c_str());
    // Proxies: libcurl reads the standard environment variables by itself.
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    set(CURLOPT_PREREQFUNCTION, &Transfer::OnRequestStart);
    set(CURLOPT_PREREQDATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    set(CURLOPT_XFERINFODATA, this);

    set(CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    set(CURLOPT_WRITEDATA, this);

    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    // The certificate store is the trust set's, parsed once for the process, in place of the one
    // libcurl would read from disk for every connection.
    set(CURLOPT_CAINFO, nullptr);
    set(CURLOPT_CAPATH, nullptr);
    set(CURLOPT_SSL_CTX_FUNCTION, &Transfer::OnSslContext);
    set(CURLOPT_SSL_CTX_DATA, this);
    return rc == CURLE_OK && session.Join(h);
}

CURLcode HttpClient::Transfer::PerformOnLiveConnection() {
    const CURLcode rc = curl_easy_perform(easy.get());
    if (!staleConnection) return rc;
    // Nothing was written and nothing received: the same exchange again, from the start.
    staleConnection = false;
    attempts = 0;
    connectionsMade = 0;
    requestStarted = false;
    sending = true;
    replyStarted = false;
    uploaded = downloaded = 0;
    curl_easy_setopt(easy.get(), CURLOPT_FRESH_CONNECT, 1L);
    return curl_easy_perform(easy.get());
}

bool HttpClient::Transfer::Perform(HttpResponse& response) {
    const CURLcode rc = PerformOnLiveConnection();
    if (unreadable) return false;
    // A 200 that ends before its announced length still counts: the body is what came.
    const bool replied = reply.headersDone && (rc == CURLE_OK || rc == CURLE_PARTIAL_FILE ||
                                               (rc == CURLE_WRITE_ERROR && stoppedAfterHeaders));
    if (!replied) {
        // No connection at all (no such host, refused, connect time-out) means the server cannot
        // be reached; a connection that then fails (TLS not verified, time-out, broken off) is a
        // request sent without reply.
        switch (rc) {
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
            case CURLE_COULDNT_CONNECT:
                return false;
            case CURLE_OPERATION_TIMEDOUT: {
                long localPort = 0;  // set once a TCP connection stands
                curl_easy_getinfo(easy.get(), CURLINFO_LOCAL_PORT, &localPort);
                return localPort != 0;
            }
            default:
                return true;
        }
    }
    response.status = static_cast<int>(reply.status);
    response.contentLength =
        reply.length < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(reply.length, UINT32_MAX));
    response.serverDate = LocalServerDate(reply.date);
    response.contentType = reply.contentType;
    response.charset = CharsetOf(reply.contentType);
    if (reply.status == 200) {
        body.resize(std::min(body.size(), body.find('\0')));
        response.body = std::move(body);
    }
    return true;
}

size_t HttpClient::Transfer::OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t.Received();
    std::string_view line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    try {
        if (line.starts_with("HTTP/")) {
            t.reply = Reply{};  // a new response begins (after an interim 1xx)
        } else if (t.reply.headersDone) {
            // Trailers of a chunked body change nothing.
        } else if (line.empty()) {
            if (!t.HeadersComplete()) return 0;
        } else if (const size_t colon = line.find(':'); colon != line.npos) {
            const std::string_view name = line.substr(0, colon);
            const std::string_view value = Trim(line.substr(colon + 1));
            if (EqualsIgnoringCase(name, "Content-Length")) {
                t.reply.length = ParseLength(value);
            } else if (EqualsIgnoringCase(name, "Content-Type")) {
                t.reply.contentType = value;
            } else if (EqualsIgnoringCase(name, "Date")) {
                t.reply.date = value;
            }
        }
    } catch (const std::bad_alloc&) {
        t.unreadable = true;
        return 0;
    }
    return bytes;
}

bool HttpClient::Transfer::HeadersComplete() {
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200) return true;  // interim: the real reply follows
    reply.status = status;
    reply.headersDone = true;
    if (status != 200) {
        stoppedAfterHeaders = true;
        return false;
    }
    if (reply.length > static_cast<int64_t>(kMaxReplyBody)) {
        unreadable = true;
        return false;
    }
    return true;
}

size_t HttpClient::Transfer::OnBody(char* data, size_t size, size_t count, void* user) noexcept {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t.Received();
    if (t.reply.status != 200) return 0;
    size_t keep = bytes;
    // Never more than announced; the rest of the stream is not part of this reply.
    if (t.reply.length >= 0)
        keep = std::min<uint64_t>(keep, static_cast<uint64_t>(t.reply.length) - t.body.size());
    if (keep > kMaxReplyBody - t.body.size()) {
        t.unreadable = true;
        return 0;
    }
    try {
        t.body.append(data, keep);
    } catch (const std::bad_alloc&) {
        t.unreadable = true;
        return 0;
    }
    return bytes;
}

bool HttpClient::Transfer::MayStartAttempt(const char* localAddress, int localPort) {
    // A second attempt means the connection of the first died under it. The request goes again
    // only when nothing of it was written: a server that may have received it must not get it
    // twice, so that failure is reported as a request without reply.
    if (++attempts > 1) {
        long written = 0;
        if (curl_easy_getinfo(easy.get(), CURLINFO_REQUEST_SIZE, &written) != CURLE_OK || written != 0)
            return false;
    }
    long made = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_NUM_CONNECTS, &made);
    const bool kept = made == connectionsMade;
    connectionsMade = made;
    if (!kept) return true;
    // An idle HTTP/1.1 connection has nothing to read: anything there (the server's close, or
    // its TLS close note, which libcurl's own check takes for data) means the server is done
    // with it. A new connection is made instead, before a byte of the request is written.
    const int socket = session.SocketOf(localAddress, localPort);
    pollfd fd{socket, POLLIN, 0};
    if (socket < 0 || ::poll(&fd, 1, 0) == 0) return true;
    staleConnection = true;
    return false;
}

int HttpClient::Transfer::OnRequestStart(void* user, char*, char* localAddress, int, int localPort) noexcept {
    auto& t = *static_cast<Transfer*>(user);
    if (!t.MayStartAttempt(localAddress, localPort)) return CURL_PREREQFUNC_ABORT;
    // Connected: from here the send and receive time-outs apply instead of the connect one.
    t.requestStarted = true;
    t.lastProgress = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// libcurl calls this often while bytes move and about once a second while nothing happens.
int HttpClient::Transfer::OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t,
                                     curl_off_t uploaded) noexcept {
    auto& t = *static_cast<Transfer*>(user);
    if (!t.requestStarted) return 0;
    const auto now = Clock::now();
    if (uploaded != t.uploaded || downloaded != t.downloaded) {
        t.uploaded = uploaded;
        t.downloaded = downloaded;
        t.lastProgress = now;
    }
    if (t.sending && (t.replyStarted || t.uploaded >= static_cast<curl_off_t>(t.uploadLength))) {
        t.sending = false;  // all sent: from now on the wait for the reply is measured
        t.lastProgress = now;
    }
    const auto limit = t.sending ? t.timeouts.send : t.timeouts.receive;
    return now - t.lastProgress >= limit ? 1 : 0;
}

// A new TLS connection verifies its peer with the trust set's store: the system's certificates
// and those of the trusted file.
CURLcode HttpClient::Transfer::OnSslContext(CURL*, void* sslContext, void* user) noexcept {
    const auto& t = *static_cast<const Transfer*>(user);
    X509_STORE* store = t.session.Store();
    if (!store) return CURLE_SSL_CACERT_BADFILE;
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), store);
    return CURLE_OK;
}

}  // namespace vexa
