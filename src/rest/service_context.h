// ServiceContext: where a Message object's requests go and who they say is calling. Every
// request entity takes a copy when it is made, so a later change affects only later requests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rest/http_client.h"

namespace vexa {

struct ServiceContext {
    std::string host;                 // the service's API host
    uint32_t port = 0;                // 0: the scheme's default; only the low 16 bits are used
    bool secure = true;               // HTTPS
    std::string authorization;        // the Authorization value ("Basic ...")
    std::string userId;               // first segment of every resource path
    std::string clientName;           // Client-Name, and the User-Agent text
    std::string clientVersion;        // Client-Version
    std::string operatingSystem;      // User-Os
    std::string realm;                // Auth-Realm
    std::string trustedCertificates;  // extra PEM trust for this endpoint (empty: system only)
    HttpTimeouts timeouts;            // shortened by tests only

    // The deployment's endpoint and realm and this machine's client description.
    static ServiceContext Defaults();

    // Stores the user ID and forms the Basic authorization from "id:password". False, and
    // nothing changes, when either is empty.
    bool SetCredentials(std::string_view userId, std::string_view password);

    // The header set of every request, in order; empty values are left out except for the
    // two that are always sent.
    std::vector<std::pair<std::string, std::string>> Headers() const;
};

// A path segment as it goes into a resource path: characters that a URL path cannot carry
// as they are (blanks, '/', '?', '#', '%', bytes above 0x7E) are percent-encoded.
std::string PathSegment(std::string_view text);

}  // namespace vexa
