#include "connection_probe.h"

#include <curl/curl.h>
#include <memory>

namespace vexa_cli {

namespace {

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct Attempt {
    CURLcode code = CURLE_FAILED_INIT;
    long status = 0;
    std::string error;
};

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

// One request (or, with connectOnly, one connection) with the probe's bounds; proxies as the
// component takes them, from the environment.
Attempt Try(const std::string& url, const std::string& cainfo, bool connectOnly) {
    Attempt attempt;
    const std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl) return attempt;
    char error[CURL_ERROR_SIZE] = "";
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kProbeSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, kProbeSeconds);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
    if (connectOnly) curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    if (!cainfo.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, cainfo.c_str());
    attempt.code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &attempt.status);
    attempt.error = error[0] ? error : curl_easy_strerror(attempt.code);
    return attempt;
}

bool Untrusted(CURLcode code) { return code == CURLE_PEER_FAILED_VERIFICATION; }

// Failures of the connection itself, the same whatever the scheme.
bool Classify(const Attempt& a, Probe& probe) {
    probe.detail = a.error;
    switch (a.code) {
        case CURLE_OK:
            probe.reach = Reach::Answered;
            probe.status = a.status;
            return true;
        case CURLE_COULDNT_RESOLVE_HOST:
            probe.reach = Reach::NoSuchHost;
            return true;
        case CURLE_COULDNT_CONNECT:
            probe.reach = Reach::Refused;
            return true;
        case CURLE_OPERATION_TIMEDOUT:
            probe.reach = Reach::TimedOut;
            return true;
        default:
            return false;
    }
}

std::string WithScheme(const std::string& url, const char* scheme) {
    const size_t colon = url.find("://");
    return colon == std::string::npos ? url : scheme + url.substr(colon);
}

}  // namespace

Probe ProbeEndpoint(const std::string& url, const std::string& cacert) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Probe probe;
    Attempt first = Try(url, "", false);
    // The component trusts the extra certificates besides the system's.
    if (Untrusted(first.code) && !cacert.empty()) first = Try(url, cacert, false);
    if (Classify(first, probe)) return probe;
    if (Untrusted(first.code)) {
        probe.reach = Reach::Untrusted;
        return probe;
    }
    const bool secure = url.starts_with("https://");
    // A handshake that did not happen, or a reply that was not HTTP: the other scheme may answer.
    const Attempt other = Try(WithScheme(url, secure ? "http" : "https"), cacert, false);
    if (secure && other.code == CURLE_OK) {
        probe.reach = Reach::PlainHttp;
    } else if (!secure && (other.code == CURLE_OK || Untrusted(other.code))) {
        probe.reach = Reach::Tls;
    } else {
        probe.reach = Reach::Other;
    }
    return probe;
}

Probe ProbeTcp(const std::string& host, int port) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Probe probe;
    const bool bracket = host.find(':') != std::string::npos;
    const std::string url =
        "http://" + (bracket ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
    if (!Classify(Try(url, "", true), probe)) probe.reach = Reach::Other;
    return probe;
}

}  // namespace vexa_cli
