// The service endpoint a host may point a Message object at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexa {

struct Endpoint {
    std::string host;   // a name, an IPv4 address, or a bracketed IPv6 address
    uint16_t port = 0;  // 0: the scheme's default
    bool secure = true;
};

// "https://host[:port][/]" or "http://host[:port][/]"; nothing else (no user information, path,
// query or fragment). The port is 1-65535.
std::optional<Endpoint> ParseEndpointUrl(std::string_view url);

}  // namespace vexa
