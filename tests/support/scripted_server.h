// A scripted HTTP(S) server on an ephemeral loopback port: it records every request as it
// arrived and answers with exactly the bytes a test gives it, so tests can show how the client
// meets odd statuses, wrong lengths, closed connections, chunked and slow replies, TLS, and
// kept connections. Each connection is served on a thread of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa::test {

struct RecordedRequest {
    std::string method;
    std::string target;                                        // the request target as sent (the path)
    std::string version;                                       // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
    std::string body;                                          // read by Content-Length (or chunked)
    std::string raw;                                           // the whole request as received

    // The first header of that name (case-insensitive), or empty.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

// One scripted answer: the raw bytes, sent in pieces with pauses when asked.
struct ScriptedReply {
    std::string bytes;
    std::chrono::milliseconds delayBeforeFirstByte{0};
    // When non-zero, the bytes go out in pieces of this size with delayBetweenPieces between.
    size_t pieceSize = 0;
    std::chrono::milliseconds delayBetweenPieces{0};
    // Stop reading the request after its headers and never answer (for send time-outs, the
    // server holds the connection open until the client gives up).
    bool stall = false;
    // Read the whole request, then close the connection without a reply.
    bool hangUp = false;
};

class ScriptedServer {
public:
    struct Options {
        bool tls = false;  // serve TLS with a certificate made for 127.0.0.1 and localhost
        // The certificate's subjectAltName entries (a test of host-name checks names others).
        std::vector<std::string> certificateNames = {"IP:127.0.0.1", "DNS:localhost"};
        // Serve request after request on a connection until the client closes it; without it
        // every connection serves one request and is closed after its reply, which says so.
        bool keepAlive = false;
        // Listen on this port (0: an ephemeral one), e.g. to stand in for a server restarted.
        uint16_t port = 0;
    };

    ScriptedServer();
    explicit ScriptedServer(Options options);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const;
    // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
    std::string Url() const;

    // Queues the answer to the next request (first queued, first used). Without a queued
    // answer and without a handler the server answers 500.
    void Reply(std::string rawBytes);
    void Reply(ScriptedReply reply);
    // Answers every request not served by the queue.
    void SetHandler(std::function<ScriptedReply(const RecordedRequest&)> handler);

    // Every request received so far, in order.
    std::vector<RecordedRequest> Requests() const;
    // Blocks until at least n requests have arrived or the timeout passes.
    bool WaitForRequests(size_t n, std::chrono::milliseconds timeout) const;

    // TLS only: the PEM file of the server's certificate (trust it to verify the server).
    const std::string& CertificateFile() const;

    // Connections accepted so far, those whose TLS session was resumed, and those still open.
    size_t Connections() const;
    size_t ResumedConnections() const;
    size_t OpenConnections() const;
    // Once every open connection waits for its next request, closes them all, as a server whose
    // keep-alive time ran out does (TLS close note, then the end of the stream), and returns once
    // they are closed.
    void CloseIdleConnections();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// "HTTP/1.1 STATUS REASON\r\n" + Content-Type (when not empty) + Content-Length + a Date header +
// the extra header lines (each "Name: value") + "\r\n" + body.
std::string HttpReply(int status, std::string_view body,
                      std::string_view contentType = "application/xml; charset=UTF-8",
                      const std::vector<std::string>& extraHeaders = {});

}  // namespace vexa::test
