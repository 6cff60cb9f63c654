// Ports across restarts of one data directory: endpoints handed out keep working, a port another
// process took is replaced and told, and a port given outright is taken or the start fails.
#include <gtest/gtest.h>
#include <optional>

#include "loopback_listener.h"
#include "sandbox/sandbox.h"
#include "scratch_directory.h"

namespace vexa::sandbox {
namespace {

class StablePortsTest : public testing::Test {
protected:
    ListeningPorts Run(std::optional<int> legacyPort, int httpPort = 0) {
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.httpPort = httpPort;
        options.legacyPort = legacyPort;
        Sandbox sandbox(options);
        moved_ = sandbox.MovedPorts();
        return sandbox.Ports();
    }

    test::ScratchDirectory dir_;
    std::vector<MovedPort> moved_;
};

TEST_F(StablePortsTest, ARestartListensWhereTheLastStartDid) {
    const ListeningPorts first = Run(0);
    EXPECT_GT(first.http, 0);
    EXPECT_GT(first.https, 0);
    EXPECT_GT(first.legacy, 0);

    // A start without the legacy listener keeps its port for a later one with it.
    const ListeningPorts second = Run(std::nullopt);
    EXPECT_EQ(second.http, first.http);
    EXPECT_EQ(second.https, first.https);
    EXPECT_EQ(second.legacy, 0);

    const ListeningPorts third = Run(0);
    EXPECT_EQ(third.http, first.http);
    EXPECT_EQ(third.https, first.https);
    EXPECT_EQ(third.legacy, first.legacy);
    EXPECT_TRUE(moved_.empty());
}

TEST_F(StablePortsTest, ATakenPortIsReplacedAndToldUnlessGivenOutright) {
    const ListeningPorts first = Run(0);
    const vexa::test::LoopbackListener http = vexa::test::ListenOnLoopback(static_cast<uint16_t>(first.http));
    const vexa::test::LoopbackListener legacy =
        vexa::test::ListenOnLoopback(static_cast<uint16_t>(first.legacy));

    EXPECT_THROW(Run(0, first.http), std::runtime_error);

    const ListeningPorts second = Run(0);
    EXPECT_NE(second.http, first.http);
    EXPECT_EQ(second.https, first.https);
    EXPECT_NE(second.legacy, first.legacy);
    ASSERT_EQ(moved_.size(), 2u);
    EXPECT_EQ(moved_[0].listener, "http");
    EXPECT_EQ(moved_[0].recorded, first.http);
    EXPECT_EQ(moved_[0].now, second.http);
    EXPECT_EQ(moved_[1].listener, "legacy");
    EXPECT_EQ(moved_[1].recorded, first.legacy);
    EXPECT_EQ(moved_[1].now, second.legacy);

    // The replacements are what the next start takes.
    const ListeningPorts third = Run(0);
    EXPECT_EQ(third.http, second.http);
    EXPECT_EQ(third.legacy, second.legacy);
    EXPECT_TRUE(moved_.empty());
}

}  // namespace
}  // namespace vexa::sandbox
