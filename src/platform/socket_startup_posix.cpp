#include <atomic>

#include "platform/socket_startup.h"

namespace vexa {

namespace {
std::atomic<bool> g_failStartup{false};
}

bool StartSockets() { return !g_failStartup.load(); }
void StopSockets() {}
void FailSocketStartupForTesting(bool fail) { g_failStartup = fail; }

}  // namespace vexa
