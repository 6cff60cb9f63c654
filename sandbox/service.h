// The messaging service's REST API without the HTTP around it: one request in, one reply out.
// The listeners hand every request here, whatever endpoint it reached.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/authenticator.h"
#include "sandbox/clock.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

struct ServiceRequest {
    std::string method;
    std::string target;         // as received: the escaped path, maybe with a query
    std::string authorization;  // header values; empty when absent
    std::string realm;
    std::string body;
    std::string baseUrl;        // "https://127.0.0.1:8443": where links and image URLs point
    std::string remoteAddress;  // the client, as a send records it
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
};

class Service {
public:
    Service(Store& store, ServiceSettings settings, Clock clock);

    // Safe to call from many threads at once.
    ServiceReply Handle(const ServiceRequest& request);

private:
    ServiceReply Dispatch(const ServiceRequest& request, int64_t now);

    Store& store_;
    const ServiceSettings settings_;
    const Clock clock_;
    Authenticator authenticator_;
};

}  // namespace vexa::sandbox
