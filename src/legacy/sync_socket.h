// One request/reply exchange of the legacy protocol over a TCP connection of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "legacy/protocol/tpml.h"

namespace VexaCore {

// A silent or stalled server must not hang the host: the REST backend's limits.
struct SocketTimeouts {
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds sendStall{20000};      // no byte goes out for this long
    std::chrono::milliseconds receiveStall{180000};  // no byte comes in for this long
};

class CAtlSyncSocket {
public:
    using Timeouts = SocketTimeouts;

    // host: a dotted IPv4 address or a name (resolved to IPv4 only; the first address is used).
    CAtlSyncSocket(std::string host, uint16_t port, Timeouts timeouts = {});
    virtual ~CAtlSyncSocket() = default;

    // Connects, sends the whole request document in one frame (plain protocol version, compressed
    // above the threshold), reads exactly one reply frame and parses it into reply. 1 when the
    // reply was received and parsed, else 0 (nothing more is told).
    int Exchange(const Quill::CTPMLParser& request, Quill::CTPMLParser& reply);

private:
    std::string host_;
    uint16_t port_;
    Timeouts timeouts_;
};

}  // namespace VexaCore
