// A scripted TCP server on an ephemeral loopback port, for protocols of one request and one reply
// per connection: it reads a request (exactly as far as the test's RequestEnd says, never more),
// records it, and answers with exactly the bytes a script gives, whole or in paced pieces; or it
// stays silent, or reads nothing at all. Connections are served one after another.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::test {

// How the server meets one connection.
struct TcpScript {
    // Bytes sent once the request is whole; then the server shuts its side down. Bytes that
    // break off a frame make a peer that closes early.
    std::string reply;
    // When non-zero, the reply goes out in pieces of this size with delayBetweenPieces between.
    size_t pieceSize = 0;
    std::chrono::milliseconds delayBetweenPieces{0};
    // A pause before reading the request: a large request fills the buffers meanwhile.
    std::chrono::milliseconds delayBeforeReading{0};
    // Reads the request but never answers; holds the connection until the client leaves.
    bool silent = false;
    // Reads nothing and answers nothing; holds the connection until the client leaves.
    bool ignoreRequest = false;
};

class ScriptedTcpServer {
public:
    // How many more bytes a request needs given the bytes received so far: 0 once it is whole,
    // nullopt when they cannot start a request (the server then stops reading and answers).
    using RequestEnd = std::function<std::optional<size_t>(std::string_view received)>;

    explicit ScriptedTcpServer(RequestEnd requestEnd);
    ~ScriptedTcpServer();
    ScriptedTcpServer(const ScriptedTcpServer&) = delete;
    ScriptedTcpServer& operator=(const ScriptedTcpServer&) = delete;

    uint16_t Port() const;

    // Queues the script of the next connection (first queued, first used). A connection without
    // a script is read and then closed without an answer.
    void Script(TcpScript script);

    // The bytes read on every connection so far, in order (also a request cut short by the
    // client); connections that ignore the request record nothing.
    std::vector<std::string> Requests() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vexa::test
