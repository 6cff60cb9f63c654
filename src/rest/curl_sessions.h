// What every HTTP exchange of the process shares on libcurl, as the platform's own HTTP service
// does on Windows: for each distinct set of trusted certificates, one libcurl share (idle
// connections, TLS sessions, name lookups) and one parsed certificate store. Each exchange keeps a
// handle of its own; it borrows its trust set's session for as long as the handle lives.
//
// A connection or TLS session is only ever reused within one trust set, so extra certificates one
// Message trusts never verify another's connection. A trust file or the system's certificates
// changed on disk are read anew for the next new connection; the old session goes once idle.
// Idle connections close after a bounded time, by a thread that runs only while a session exists
// and that the module's unloading stops.
#pragma once

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <openssl/x509_vfy.h>
#include <string>

namespace vexa {

// How long a connection may stay idle before it is closed (and no longer reused).
inline constexpr std::chrono::seconds kIdleConnectionLimit{30};
// The name of the thread that closes idle connections, as the system shows it.
inline constexpr char kReaperName[] = "vexa-idle-http";

class CurlSession;

// One exchange's hold on its trust set's session: returned when destroyed, after the handle that
// joined the share is gone.
class SessionLease {
public:
    SessionLease() = default;
    explicit SessionLease(std::shared_ptr<CurlSession> session);
    ~SessionLease();
    SessionLease(SessionLease&& other) noexcept = default;
    SessionLease& operator=(SessionLease&& other) noexcept;
    SessionLease(const SessionLease&) = delete;
    SessionLease& operator=(const SessionLease&) = delete;

    explicit operator bool() const { return session_ != nullptr; }
    // Makes the handle use the session's connections, TLS sessions and name lookups.
    bool Join(CURL* easy) const;
    // The socket of the session's connection with that local end; -1 when there is none.
    int SocketOf(const char* localAddress, int localPort) const;
    // The store a new TLS connection verifies its peer with (the system's certificates and the
    // trust file's); nullptr when it could not be made, e.g. the trust file is missing.
    X509_STORE* Store() const;

private:
    std::shared_ptr<CurlSession> session_;
};

// The session of the trust set "the system's certificates plus those of trustedCertificates" (a
// PEM file; empty for the system's alone). An empty lease when libcurl has no memory for one.
SessionLease BorrowSession(const std::string& trustedCertificates);

// For tests: how long idle connections are kept from now on, and how many sessions stand.
void SetIdleConnectionLimit(std::chrono::milliseconds limit);
size_t CurlSessionCount();

}  // namespace vexa
