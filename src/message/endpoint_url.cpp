#include "message/endpoint_url.h"

#include <cctype>

namespace vexa {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

bool IsHostNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.'; }
bool IsIpv6Char(char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }

}  // namespace

std::optional<Endpoint> ParseEndpointUrl(std::string_view url) {
    Endpoint e;
    if (StartsWithNoCase(url, "https://")) {
        url.remove_prefix(8);
    } else if (StartsWithNoCase(url, "http://")) {
        e.secure = false;
        url.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    if (!url.empty() && url.back() == '/') url.remove_suffix(1);

    size_t hostEnd = 0;
    if (!url.empty() && url.front() == '[') {
        hostEnd = url.find(']');
        if (hostEnd == std::string_view::npos || hostEnd < 3) return std::nullopt;
        for (char c : url.substr(1, hostEnd - 1))
            if (!IsIpv6Char(c)) return std::nullopt;
        ++hostEnd;
    } else {
        while (hostEnd < url.size() && IsHostNameChar(url[hostEnd])) ++hostEnd;
        if (hostEnd == 0 || url.front() == '-' || url.front() == '.') return std::nullopt;
    }
    e.host = std::string(url.substr(0, hostEnd));
    url.remove_prefix(hostEnd);

    if (url.empty()) return e;
    if (url.front() != ':' || url.size() < 2 || url.size() > 6) return std::nullopt;
    uint32_t port = 0;
    for (char c : url.substr(1)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    e.port = static_cast<uint16_t>(port);
    return e;
}

}  // namespace vexa
