// HttpClient over WinINet: one session, connection and request per exchange, synchronous, with the
// same outcomes as the libcurl side. WinINet verifies certificates against the system's store; a
// host's extra certificates are checked here against the chain the server served, never by
// switching verification off. Where WinINet cannot hand out that chain after refusing it (Wine's
// answers ERROR_INTERNET_INCORRECT_HANDLE_STATE: it keeps the chain only of a handshake it
// accepted), the extra certificates cannot vouch for anything and the exchange fails as an
// unverified one.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>
#include <wincrypt.h>
#include <wininet.h>

#include "platform/windows_text.h"
#include "rest/http_client.h"
#include "rest/http_text.h"

namespace vexa {

namespace {

struct InternetCloser {
    void operator()(HINTERNET handle) const noexcept { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

struct StoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};
using CertificateStore = std::unique_ptr<void, StoreCloser>;

struct ChainFreer {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { CertFreeCertificateChain(chain); }
};
using ChainContext = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer>;

DWORD Milliseconds(std::chrono::milliseconds value) {
    return static_cast<DWORD>(std::clamp<int64_t>(value.count(), 1, std::numeric_limits<DWORD>::max() - 1));
}

// A host name, an IPv4 address or a bracketed IPv6 address (given to WinINet without its
// brackets); nothing that could turn into another host, a path or a header line.
std::optional<std::string> ServerName(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string inner = host.substr(1, host.size() - 2);
        const bool address = std::all_of(inner.begin(), inner.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        });
        return address ? std::optional(inner) : std::nullopt;
    }
    const bool name = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    });
    return name ? std::optional(host) : std::nullopt;
}

// The header block as WinINet takes it: the caller's headers in order. Nullopt when a name or
// value would break the block.
std::optional<std::string> HeaderBlock(const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string block;
    for (const auto& [name, value] : headers) {
        if (!IsToken(name) || !IsFieldValue(value)) return std::nullopt;
        block += name + ": " + value + "\r\n";
    }
    return block;
}

std::string QueryText(HINTERNET request, DWORD info) {
    DWORD size = 0;
    HttpQueryInfoA(request, info, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::string text(size, '\0');
    if (!HttpQueryInfoA(request, info, text.data(), &size, nullptr)) return {};
    text.resize(size);
    return text;
}

// The certificates of a PEM file, in a memory store; null when the file holds none.
CertificateStore LoadPemCertificates(const std::string& pemFile) {
    std::ifstream file(pemFile, std::ios::binary);
    if (!file) return nullptr;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    CertificateStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!store) return nullptr;
    static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    bool any = false;
    for (size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at + 1)) {
        const size_t end = text.find(kEnd, at);
        if (end == std::string::npos) break;
        const std::string block = text.substr(at, end + kEnd.size() - at);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr)) {
            continue;
        }
        std::vector<BYTE> der(size);
        if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                 der.data(), &size, nullptr, nullptr) &&
            CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                             CERT_STORE_ADD_ALWAYS, nullptr)) {
            any = true;
        }
    }
    return any ? std::move(store) : nullptr;
}

bool IsIn(HCERTSTORE store, PCCERT_CONTEXT certificate) {
    PCCERT_CONTEXT found =
        CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
    if (!found) return false;
    CertFreeCertificateContext(found);
    return true;
}

// The server's chain as WinINet saw it, verified again with the extra certificates as roots:
// it must end in one of them, be valid in every other respect (times, usage, signatures), and
// name the host.
bool VerifiedByExtraRoots(HINTERNET request, HCERTSTORE extraRoots, const std::string& host) {
    PCCERT_CHAIN_CONTEXT raw = nullptr;
    DWORD size = sizeof raw;
    if (!InternetQueryOptionA(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &raw, &size) || !raw) {
        return false;
    }
    const ChainContext served(raw);
    if (served->cChain == 0 || served->rgpChain[0]->cElement == 0) return false;
    PCCERT_CONTEXT leaf = served->rgpChain[0]->rgpElement[0]->pCertContext;

    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    PCCERT_CHAIN_CONTEXT rebuilt = nullptr;
    if (!CertGetCertificateChain(nullptr, leaf, nullptr, extraRoots, &parameters, 0, nullptr, &rebuilt)) {
        return false;
    }
    const ChainContext chain(rebuilt);
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    const PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    if (!IsIn(extraRoots, root)) return false;
    // The root is ours, so "untrusted root" is the one complaint that does not count.
    if (chain->TrustStatus.dwErrorStatus & ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT)) return false;

    std::wstring serverName = WideFromUtf8(host);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.fdwChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    https.pwszServerName = serverName.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) &&
           status.dwError == 0;
}

// Errors of HttpSendRequest that mean no server could be reached at all.
bool IsUnreachable(DWORD error) {
    return error == ERROR_INTERNET_NAME_NOT_RESOLVED || error == ERROR_INTERNET_CANNOT_CONNECT ||
           error == ERROR_INTERNET_INVALID_URL || error == ERROR_INTERNET_UNRECOGNIZED_SCHEME;
}

}  // namespace

// One exchange's WinINet handles and what the status callback learnt.
struct HttpClient::Transfer {
    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) noexcept;

    bool Open(const HttpClient& client, const std::string& serverName);
    bool Perform(const HttpClient& client, HttpResponse& response, const std::string& method,
                 const std::string& path, const char* body, size_t length);
    // Sends the request; when the server's certificate is trusted only through the extra
    // certificates, verifies it and sends again.
    bool Send(const HttpClient& client, const std::string& headers, const char* body, size_t length);
    enum class BodyRead { kComplete, kBroken, kUnreadable };
    BodyRead ReadBody(HttpResponse& response, int64_t announced);

    std::string host;
    bool connected = false;  // a TCP connection stood: failures from here on are "no reply"
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;  // last, so it goes first
};

void CALLBACK HttpClient::Transfer::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID,
                                             DWORD) noexcept {
    if (status == INTERNET_STATUS_CONNECTED_TO_SERVER || status == INTERNET_STATUS_SENDING_REQUEST) {
        reinterpret_cast<Transfer*>(context)->connected = true;
    }
}

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

bool HttpClient::Connect(const std::string& host) {
    transfer_.reset();
    host_ = host;
    const std::optional<std::string> serverName = ServerName(host);
    if (!serverName) return false;
    auto transfer = std::make_unique<Transfer>();
    if (!transfer->Open(*this, *serverName)) return false;
    transfer_ = std::move(transfer);
    return true;
}

bool HttpClient::Transfer::Open(const HttpClient& client, const std::string& serverName) {
    host = serverName;
    // Proxies as the system is configured.
    session.reset(InternetOpenA(client.agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    return session != nullptr;
}

bool HttpClient::Run(HttpResponse& response, const std::string& method, const std::string& path,
                     const char* body, size_t length) {
    const std::unique_ptr<Transfer> transfer = std::move(transfer_);
    return transfer->Perform(*this, response, method, path, body, length);
}

bool HttpClient::Transfer::Perform(const HttpClient& client, HttpResponse& response,
                                   const std::string& method, const std::string& path, const char* body,
                                   size_t length) {
    if (!IsToken(method) || !IsFieldValue(client.agent_) || (length != 0 && body == nullptr) ||
        length > std::numeric_limits<DWORD>::max() || !IsRequestTarget(path)) {
        return false;
    }
    const std::optional<std::string> headers = HeaderBlock(client.headers_);
    if (!headers) return false;

    InternetSetStatusCallback(session.get(), &Transfer::OnStatus);

    connection.reset(InternetConnectA(session.get(), host.c_str(), client.port_, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;
    const std::string target = path.empty() || path.front() != '/' ? "/" + path : path;
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                  INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    if (client.secure_) flags |= INTERNET_FLAG_SECURE;
    request.reset(HttpOpenRequestA(connection.get(), method.c_str(), target.c_str(), "HTTP/1.1", nullptr,
                                   nullptr, flags, reinterpret_cast<DWORD_PTR>(this)));
    if (!request) return false;
    // Set on the request itself: some implementations keep the send and receive time-outs only there.
    const HttpTimeouts& t = client.timeouts_;
    for (const auto& [option, value] :
         {std::pair{INTERNET_OPTION_CONNECT_TIMEOUT, Milliseconds(t.connect)},
          std::pair{INTERNET_OPTION_SEND_TIMEOUT, Milliseconds(t.send)},
          std::pair{INTERNET_OPTION_RECEIVE_TIMEOUT, Milliseconds(t.receive)}}) {
        DWORD ms = value;
        if (!InternetSetOptionA(request.get(), option, &ms, sizeof ms)) return false;
    }

    if (!Send(client, *headers, body, length)) {
        const DWORD error = GetLastError();
        // No connection at all (no such host, refused, connect time-out) means the server cannot
        // be reached; a connection that then fails (TLS not verified, time-out, broken off) is a
        // request sent without reply.
        return !(IsUnreachable(error) || (error == ERROR_INTERNET_TIMEOUT && !connected));
    }

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        return true;
    }
    const int64_t announced = ParseLength(Trim(QueryText(request.get(), HTTP_QUERY_CONTENT_LENGTH)));
    if (status == 200 && announced > static_cast<int64_t>(kMaxReplyBody)) return false;
    HttpResponse reply = response;
    reply.status = static_cast<int>(status);
    reply.contentLength = announced < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(announced, UINT32_MAX));
    // Read here, not through HTTP_QUERY_FLAG_SYSTEMTIME: that faults inside Wine's WinINet on a
    // malformed date.
    reply.serverDate = LocalServerDate(QueryText(request.get(), HTTP_QUERY_DATE));
    reply.contentType = QueryText(request.get(), HTTP_QUERY_CONTENT_TYPE);
    reply.charset = CharsetOf(reply.contentType);
    if (status == 200) {
        switch (ReadBody(reply, announced)) {
            case BodyRead::kComplete:
                break;
            case BodyRead::kBroken:
                return true;  // broken off or silent while the body came: no reply
            case BodyRead::kUnreadable:
                return false;
        }
    }
    response = std::move(reply);
    return true;
}

bool HttpClient::Transfer::Send(const HttpClient& client, const std::string& headers, const char* body,
                                size_t length) {
    if (!headers.empty() &&
        !HttpAddRequestHeadersA(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
        SetLastError(ERROR_INTERNET_INVALID_OPERATION);
        return false;
    }
    auto send = [&] {
        return HttpSendRequestA(request.get(), nullptr, 0, const_cast<char*>(body),
                                static_cast<DWORD>(length)) != FALSE;
    };
    if (send()) return true;
    if (GetLastError() != ERROR_INTERNET_INVALID_CA || client.trustedCertificates_.empty()) return false;
    const CertificateStore extraRoots = LoadPemCertificates(client.trustedCertificates_);
    if (!extraRoots || !VerifiedByExtraRoots(request.get(), extraRoots.get(), host)) {
        SetLastError(ERROR_INTERNET_INVALID_CA);
        return false;
    }
    // Verified above against the extra certificates: only the unknown root is let pass.
    DWORD security = 0;
    DWORD size = sizeof security;
    InternetQueryOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
    security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    if (!InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security))
        return false;
    // The retry may have reached the server over a new connection: its chain is verified again,
    // and a reply from a server that the extra certificates do not vouch for is not taken.
    if (!send()) return false;
    if (VerifiedByExtraRoots(request.get(), extraRoots.get(), host)) return true;
    SetLastError(ERROR_INTERNET_INVALID_CA);
    return false;
}

// The body of a 200 reply into response, never more than announced nor more than kMaxReplyBody:
// kBroken when the connection broke or went silent, kUnreadable when the body is over the limit
// or there is no memory for it.
HttpClient::Transfer::BodyRead HttpClient::Transfer::ReadBody(HttpResponse& response, int64_t announced) {
    std::string body;
    const uint64_t wanted = announced >= 0 ? static_cast<uint64_t>(announced) : kMaxReplyBody + 1;
    try {
        char chunk[16384];
        while (body.size() < wanted) {
            DWORD got = 0;
            const DWORD ask = static_cast<DWORD>(std::min<uint64_t>(sizeof chunk, wanted - body.size()));
            if (!InternetReadFile(request.get(), chunk, ask, &got)) return BodyRead::kBroken;
            if (got == 0) break;  // ended before its announced length: the body is what came
            if (body.size() + got > kMaxReplyBody) return BodyRead::kUnreadable;
            body.append(chunk, got);
        }
    } catch (const std::bad_alloc&) {
        return BodyRead::kUnreadable;
    }
    body.resize(std::min(body.size(), body.find('\0')));
    response.body = std::move(body);
    return BodyRead::kComplete;
}

}  // namespace vexa
