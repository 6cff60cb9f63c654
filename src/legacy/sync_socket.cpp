// One request/reply exchange over a connection of its own. Every wait is bounded so that a silent
// or stalled server cannot hang the host; the frame itself is the codec's business.
#include "legacy/sync_socket.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "legacy/protocol/packet_frame.h"
#include "legacy/tcp_connection.h"

namespace VexaCore {

namespace {

using std::chrono::milliseconds;

// Sends every byte, piece by piece as the socket takes them.
bool SendAll(TcpConnection& connection, std::string_view bytes, milliseconds stall) {
    while (!bytes.empty()) {
        const size_t sent = connection.SendSome(bytes, stall);
        if (sent == 0) return false;
        bytes.remove_prefix(sent);
    }
    return true;
}

// Reads exactly one frame: never more bytes than it still lacks, so whatever follows it stays in
// the socket. Fails when the peer closes early, announces too much, or sends nothing for `stall`.
std::optional<std::string> ReceiveFrame(TcpConnection& connection, milliseconds stall) {
    std::string held;
    char chunk[64 * 1024];
    while (true) {
        const std::optional<size_t> missing = MissingFrameBytes(held);
        if (!missing) return std::nullopt;
        if (*missing == 0) return held;
        const size_t got = connection.ReceiveSome(std::span(chunk, std::min(*missing, sizeof chunk)), stall);
        if (got == 0) return std::nullopt;
        held.append(chunk, got);
    }
}

}  // namespace

CAtlSyncSocket::CAtlSyncSocket(std::string host, uint16_t port, Timeouts timeouts)
    : host_(std::move(host)), port_(port), timeouts_(timeouts) {}

int CAtlSyncSocket::Exchange(const Quill::CTPMLParser& request, Quill::CTPMLParser& reply) {
    std::string text;
    request.Serialize(text);
    const std::string frame = FramePacket(text, kPlainProtocolVersion, kCompressionThreshold);
    if (frame.empty()) return 0;

    std::optional<std::string> received;
    {
        std::optional<TcpConnection> connection = TcpConnection::Open(host_, port_, timeouts_.connect);
        if (!connection || !SendAll(*connection, frame, timeouts_.sendStall)) return 0;
        received = ReceiveFrame(*connection, timeouts_.receiveStall);
    }
    if (!received) return 0;
    const std::optional<std::string> replyText = UnframePacket(*received);
    if (!replyText) return 0;
    return reply.Parse(*replyText) ? 1 : 0;
}

}  // namespace VexaCore
