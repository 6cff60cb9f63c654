// The messaging service's REST API without the HTTP around it: one request in, one reply out.
// The listeners hand every request here, whatever endpoint it reached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/authenticator.h"
#include "sandbox/clock.h"
#include "sandbox/inbox_access.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

class Inbox;

struct ServiceRequest {
    std::string method;
    std::string target;         // as received: the escaped path, maybe with a query
    std::string authorization;  // header values; empty when absent
    std::string realm;
    std::string body;
    std::string baseUrl;        // "https://127.0.0.1:8443": where links and image URLs point
    std::string remoteAddress;  // the client, as a send records it
    // What the web inbox reads besides; empty when absent.
    std::string host;         // the Host header as sent
    std::string cookie;       // the Cookie header
    std::string inboxMarker;  // the X-Vexa-Inbox header, which the inbox's own script sets
};

struct ServiceReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // Date, and the like
};

inline constexpr const char* kXmlContentType = "application/xml; charset=UTF-8";

struct ServiceSettings {
    std::string realm;
    int64_t deliveryDelay = 0;  // seconds from handing a receiver over to its report
    InboxAccess inbox;          // who may reach the web inbox
};

class Service {
public:
    Service(Store& store, ServiceSettings settings, Clock clock);
    ~Service();

    // Whether the web inbox is served: on a loopback address, or anywhere with a token.
    bool InboxEnabled() const { return settings_.inbox.Enabled(); }

    // Safe to call from many threads at once.
    ServiceReply Handle(const ServiceRequest& request);

private:
    ServiceReply Dispatch(const ServiceRequest& request, int64_t now);

    Store& store_;
    const ServiceSettings settings_;
    const Clock clock_;
    Authenticator authenticator_;
    std::unique_ptr<Inbox> inbox_;
};

}  // namespace vexa::sandbox
