// vexa-sandbox's memory around large request bodies, in a process of its own: eight 16 MB sends at
// once stay well below their unbounded cost, and the memory comes back after them.
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "hostile_clients.h"
#include "sandbox/http_server.h"
#include "sandbox/sandbox.h"
#include "sandbox_process.h"
#include "scratch_directory.h"

namespace vexa::sandbox {
namespace {

using namespace std::chrono_literals;

constexpr size_t kMiB = 1024;  // in the KiB that /proc tells

TEST(SandboxMemoryTest, EightLargeBodiesAtOnceStayBoundedAndTheirMemoryComesBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory hides the process's";
#endif
    vexa::test::ScratchDirectory dir;
    vexa::test::SandboxProcess sandbox(VEXA_SANDBOX_PATH, dir.Path());
    const size_t start = sandbox.ResidentKiB();
    vexa::test::Login login;
    login.realm = DefaultRealm();
    const std::string request = vexa::test::HttpRequest(
        "POST", "/messages/kim", login, vexa::test::MmsDocumentOfSize(kMaxRequestBytes - 4096));
    std::vector<int> statuses(8);
    {
        std::vector<std::jthread> senders;
        for (int& status : statuses) {
            senders.emplace_back([&] { status = vexa::test::Exchange(sandbox.HttpPort(), request, 60s); });
        }
    }
    for (const int status : statuses) EXPECT_EQ(status, 200);
    EXPECT_LT(sandbox.PeakResidentKiB(), 500 * kMiB);
    // Given back soon after; the wait only bounds the test.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (sandbox.ResidentKiB() > start + 50 * kMiB && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_LE(sandbox.ResidentKiB(), start + 50 * kMiB);
}

}  // namespace
}  // namespace vexa::sandbox
