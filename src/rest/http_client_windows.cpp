// Until the WinINet client is in, no exchange can be made on Windows: Connect refuses, so every
// request fails as one that could not be set up.
#include "rest/http_client.h"

namespace vexa {

struct HttpClient::Transfer {};

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;
void HttpClient::SetAgent(std::string agent) { agent_ = std::move(agent); }
void HttpClient::SetSecure(bool secure) { secure_ = secure; }
void HttpClient::SetPort(uint16_t port) { port_ = port; }
bool HttpClient::Connect(const std::string&) { return false; }
void HttpClient::AddHeader(const std::string&, const std::string&) {}
bool HttpClient::SendRequest(HttpResponse&, const std::string&, const std::string&, const char*, size_t) {
    return false;
}
void HttpClient::SetTrustedCertificates(std::string pemFile) { trustedCertificates_ = std::move(pemFile); }
void HttpClient::SetTimeouts(const HttpTimeouts& timeouts) { timeouts_ = timeouts; }

}  // namespace vexa
