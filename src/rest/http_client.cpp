// What HttpClient keeps before an exchange, the same on every platform.
#include "rest/http_client.h"

#include <algorithm>

#include "rest/http_text.h"

namespace vexa {

void HttpClient::SetAgent(std::string agent) { agent_ = std::move(agent); }

void HttpClient::SetSecure(bool secure) {
    secure_ = secure;
    SetPort(port_);
}

void HttpClient::SetPort(uint16_t port) { port_ = port != 0 ? port : (secure_ ? 443 : 80); }

void HttpClient::AddHeader(const std::string& name, const std::string& value) {
    auto same = std::find_if(headers_.begin(), headers_.end(),
                             [&](const auto& header) { return EqualsIgnoringCase(header.first, name); });
    if (same != headers_.end()) {
        same->second = value;
    } else {
        headers_.emplace_back(name, value);
    }
}

void HttpClient::SetTrustedCertificates(std::string pemFile) { trustedCertificates_ = std::move(pemFile); }

void HttpClient::SetTimeouts(const HttpTimeouts& timeouts) { timeouts_ = timeouts; }

bool HttpClient::SendRequest(HttpResponse& response, const std::string& method, const std::string& path,
                             const char* body, size_t length) {
    response = HttpResponse{};
    response.method = method;
    response.path = path;
    return transfer_ && Run(response, method, path, body, length);
}

}  // namespace vexa
