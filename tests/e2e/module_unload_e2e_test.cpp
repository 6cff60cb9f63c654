// A host that loads the module, talks to the service through it and unloads it, round after
// round: nothing of the module stays behind, neither a thread nor a connection.
#include <arpa/inet.h>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>

#include "e2e_fixture.h"
#include "rest/curl_sessions.h"

namespace vexa::e2e {
namespace {

// The threads of this process with that name.
size_t ThreadsNamed(const std::string& name) {
    size_t count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    return count;
}

// This process's sockets connected to the port, i.e. the clients' ends of connections to it.
size_t ConnectionsTo(uint16_t port) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            ++count;
    }
    return count;
}

uint16_t PortOf(const std::string& url) {
    return static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
}

using ModuleUnload = EndToEndTest;

TEST_F(ModuleUnload, LeavesNoThreadAndNoConnectionBehind) {
    const uint16_t port = PortOf(sandbox_->GetEndpoints().https);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        {
            const VexaModule m(VEXA_MODULE_PATH);
            for (int exchange = 0; exchange < 2; ++exchange) {
                EXPECT_EQ(NewMessageOf(m)->UpdateLoginInfo(), S_OK);
            }
            // Kept for the next exchange while the module stays, with the thread that closes it
            // once idle.
            EXPECT_EQ(ConnectionsTo(port), 1u);
            EXPECT_EQ(ThreadsNamed(kReaperName), 1u);
            EXPECT_EQ(m.DllCanUnloadNow(), S_OK);
        }
        if (void* still = dlopen(VEXA_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(still);
            GTEST_SKIP() << "another test of this process holds the module loaded";
        }
        EXPECT_EQ(ConnectionsTo(port), 0u);
        EXPECT_EQ(ThreadsNamed(kReaperName), 0u);
    }
}

}  // namespace
}  // namespace vexa::e2e
