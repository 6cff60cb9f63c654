// When the component reports only that it could not reach the service, vexa looks for itself:
// nothing listening, a name that does not resolve, no answer in time, a certificate it does not
// trust, a plain-HTTP port named as HTTPS (or the other way round), or a server that answers but
// is not the service.
#pragma once

#include <string>

namespace vexa_cli {

enum class Reach {
    Answered,    // an HTTP reply came (or, for a bare TCP probe, the connection was taken)
    NoSuchHost,  // the name does not resolve
    Refused,     // nothing listens there
    TimedOut,    // no answer within the probe's time
    Untrusted,   // TLS up to a certificate that is not trusted (nor valid for the name)
    PlainHttp,   // an https:// URL at a port that speaks plain HTTP
    Tls,         // an http:// URL at a port that speaks TLS
    Other,       // anything else: `detail` holds libcurl's words
};

struct Probe {
    Reach reach = Reach::Other;
    long status = 0;     // the HTTP status when answered
    std::string detail;  // libcurl's error text
};

inline constexpr long kProbeSeconds = 5;

// A GET of the endpoint's root, trusting the system's certificates and then `cacert` as the
// component does.
Probe ProbeEndpoint(const std::string& url, const std::string& cacert);
// A TCP connection to host:port, nothing sent.
Probe ProbeTcp(const std::string& host, int port);

}  // namespace vexa_cli
