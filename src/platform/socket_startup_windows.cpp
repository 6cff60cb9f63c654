// Windows Sockets 2, started for each front object and cleaned up with it (the system counts).
#include <winsock2.h>

#include <atomic>

#include "platform/socket_startup.h"

namespace vexa {

namespace {
std::atomic<bool> g_failStartup{false};
}

bool StartSockets() {
    if (g_failStartup.load()) return false;
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSockets() { WSACleanup(); }

void FailSocketStartupForTesting(bool fail) { g_failStartup = fail; }

}  // namespace vexa
