// The legacy protocol's connection is not on Windows Sockets yet (it comes next): no exchange
// succeeds, as when the server cannot be reached.
#include "legacy/sync_socket.h"

namespace VexaCore {

CAtlSyncSocket::CAtlSyncSocket(std::string host, uint16_t port, Timeouts timeouts)
    : host_(std::move(host)), port_(port), timeouts_(timeouts) {}

int CAtlSyncSocket::Exchange(const Quill::CTPMLParser&, Quill::CTPMLParser&) { return 0; }

}  // namespace VexaCore
