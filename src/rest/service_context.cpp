#include "rest/service_context.h"

#include <cstdio>

#include "environment/client_description.h"
#include "platform/base64.h"

#ifndef VEXA_API_HOST
#error "VEXA_API_HOST, VEXA_API_PORT, VEXA_API_SECURE and VEXA_AUTH_REALM come from the build"
#endif

namespace vexa {

namespace {
// The authorization value's Base64 text must fit this many characters.
constexpr size_t kMaxBase64 = 1023;
}  // namespace

ServiceContext ServiceContext::Defaults() {
    ServiceContext c;
    c.host = VEXA_API_HOST;
    c.port = VEXA_API_PORT;
    c.secure = VEXA_API_SECURE != 0;
    c.realm = VEXA_AUTH_REALM;
    c.clientName = kComponentName;
    c.clientVersion = ComponentVersionText();
    c.operatingSystem = DescribeOperatingSystem();
    return c;
}

bool ServiceContext::SetCredentials(std::string_view id, std::string_view password) {
    if (id.empty() || password.empty()) return false;
    userId = std::string(id);
    std::string joined = std::string(id) + ":" + std::string(password);
    if ((joined.size() + 2) / 3 * 4 > kMaxBase64) return false;
    std::string encoded;
    AppendBase64({reinterpret_cast<const uint8_t*>(joined.data()), joined.size()}, encoded);
    authorization = "Basic " + encoded;
    return true;
}

std::vector<std::pair<std::string, std::string>> ServiceContext::Headers() const {
    std::vector<std::pair<std::string, std::string>> h;
    h.emplace_back("Content-Type", "application/xml; charset=UTF-8");
    if (!authorization.empty()) h.emplace_back("Authorization", authorization);
    h.emplace_back("Auth-Realm", realm);
    if (!operatingSystem.empty()) h.emplace_back("User-Os", operatingSystem);
    if (!clientName.empty()) h.emplace_back("Client-Name", clientName);
    if (!clientVersion.empty()) h.emplace_back("Client-Version", clientVersion);
    return h;
}

std::string PathSegment(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

}  // namespace vexa
