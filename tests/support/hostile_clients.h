// Clients that hold a server's connections without finishing a request (idle, half-sent, stalled
// TLS handshakes, one byte at a time, silent on the legacy port), and the normal requests timed
// while they do: a status over HTTP or HTTPS, a legacy login, a request from a client that
// closed its sending side. The sandbox's tests and its benchmark share them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace vexa::test {

// A blocking TCP connection to 127.0.0.1:port from `source` (a loopback address such as
// "127.0.0.2"); not Valid() when it cannot be made.
UniqueFd ConnectFrom(const std::string& source, int port);

// The source address of the i-th hostile connection: spread over 127.0.0.2 to 127.0.0.5, so that
// 200 of them stay under a per-address cap of 128 and none shares the normal client's address.
std::string HostileSource(size_t i);

enum class Hostility {
    kIdle,              // connects and sends nothing
    kHalfSentRequest,   // sends the headers of a POST and half its body
    kStalledHandshake,  // sends half a TLS ClientHello
    kSlowDrip,          // sends a request one byte per interval
    kSilentLegacy,      // connects to the legacy port and sends nothing
};

const char* HostilityName(Hostility hostility);

// Holds `count` such connections to 127.0.0.1:port until destroyed.
class HostileClients {
public:
    HostileClients(Hostility hostility, int port, size_t count,
                   std::chrono::milliseconds dripInterval = std::chrono::seconds(3));
    ~HostileClients();
    HostileClients(const HostileClients&) = delete;
    HostileClients& operator=(const HostileClients&) = delete;

    // Connections made (the server may have closed some since).
    size_t Connected() const { return sockets_.size(); }
    // Connections the server has closed (read end or reset) by now.
    size_t ClosedByServer() const;

private:
    void Drip();

    std::vector<UniqueFd> sockets_;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread dripper_;
};

// A sandbox's account as the timed requests log in.
struct Login {
    std::string user = "kim";
    std::string password = "secret";
    std::string realm;
};

// GET /users/{user}/status with "Connection: close" from 127.0.0.1, over TLS trusting
// `certificate` when it is given: how long until the whole reply, nullopt when none with status
// 200 came within `timeout`.
std::optional<std::chrono::milliseconds> TimedStatus(int port, const Login& login,
                                                     const std::optional<std::filesystem::path>& certificate,
                                                     std::chrono::milliseconds timeout);

// A legacy LOGIN with STATUS: how long until the whole reply frame, nullopt when none came within
// `timeout` or it is not a USER reply.
std::optional<std::chrono::milliseconds> TimedLegacyLogin(int port, const Login& login,
                                                          std::chrono::milliseconds timeout);

// Sends the request over plain HTTP, closes the sending side (shutdown SHUT_WR) and reads until
// the server closes: the status of the reply, or 0 when none came within `timeout`.
int StatusAfterHalfClose(int port, const std::string& request, std::chrono::milliseconds timeout);

// The Authorization value of HTTP basic authentication.
std::string BasicAuthorization(const std::string& user, const std::string& password);

// A request for `target` with the login's headers ("Connection: close" when asked), and a body
// when not empty.
std::string HttpRequest(const std::string& method, const std::string& target, const Login& login,
                        const std::string& body = "", bool close = true);

// A send of one MMS whose picture makes the document `bytes` long (within a few bytes).
std::string MmsDocumentOfSize(size_t bytes);

// Sends the request over plain HTTP and reads the reply to its end: its status, 0 when none came
// within `timeout`.
int Exchange(int port, const std::string& request, std::chrono::milliseconds timeout);

}  // namespace vexa::test
