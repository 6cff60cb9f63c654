// The command line: usage errors, help, the version, --print-env, keep-alive and the legacy
// listener's options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

#include "sandbox/options.h"

namespace vexa::sandbox {
namespace {

int Parse(std::vector<const char*> args, CommandLine& line) {
    args.insert(args.begin(), {"vexa-sandbox", "--data-dir", "d"});
    std::ostringstream out;
    std::ostringstream err;
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), line, out, err);
}

TEST(LegacyOptionsTest, ALegacyListenerOnlyWhenAPortIsGiven) {
    CommandLine none;
    ASSERT_EQ(Parse({}, none), -1);
    EXPECT_FALSE(none.sandbox.legacyPort);
    EXPECT_FALSE(none.sandbox.legacySubstitute);

    CommandLine any;
    ASSERT_EQ(Parse({"--legacy-port", "0"}, any), -1);
    EXPECT_EQ(any.sandbox.legacyPort, 0);
    EXPECT_FALSE(any.sandbox.legacySubstitute);

    CommandLine substituted;
    ASSERT_EQ(Parse({"--legacy-port", "4545", "--legacy-substitute"}, substituted), -1);
    EXPECT_EQ(substituted.sandbox.legacyPort, 4545);
    EXPECT_TRUE(substituted.sandbox.legacySubstitute);

    for (const std::vector<const char*>& bad : {std::vector<const char*>{"--legacy-substitute"},
                                                {"--legacy-port", "65536"},
                                                {"--legacy-port", "-1"},
                                                {"--legacy-port"}}) {
        CommandLine line;
        EXPECT_EQ(Parse(bad, line), 2) << bad[0];
    }
}

// Like vexa's: 2 for every usage error, whatever the parser calls it, and 0 for help and the version.
TEST(CommandLineTest, UsageErrorsExitTwoHelpAndVersionZero) {
    struct Case {
        std::vector<const char*> args;
        int code;
    };
    const Case cases[] = {
        {{"vexa-sandbox"}, 2},                                        // no --data-dir
        {{"vexa-sandbox", "--data-dir", "d", "--bogus"}, 2},          // an unknown option
        {{"vexa-sandbox", "--data-dir", "d", "--account", ":x"}, 2},  // a malformed value
        {{"vexa-sandbox", "--data-dir", "d", "--wait", "3"}, 2},      // --wait without --print-env
        {{"vexa-sandbox", "--data-dir", "d", "--print-env", "--wait", "-1"}, 2},
        {{"vexa-sandbox", "--help"}, 0},
        {{"vexa-sandbox", "--version"}, 0},  // no --data-dir needed
    };
    for (const Case& c : cases) {
        CommandLine line;
        std::ostringstream out, err;
        EXPECT_EQ(ParseCommandLine(static_cast<int>(c.args.size()), c.args.data(), line, out, err), c.code)
            << c.args.back();
    }
}

TEST(CommandLineTest, VersionNamesTheProgramAndItsFourPartVersion) {
    const char* args[] = {"vexa-sandbox", "--version"};
    CommandLine line;
    std::ostringstream out, err;
    ASSERT_EQ(ParseCommandLine(2, args, line, out, err), 0);
    EXPECT_THAT(out.str(), ::testing::MatchesRegex("vexa-sandbox [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\n"));
    EXPECT_EQ(err.str(), "");
}

TEST(CommandLineTest, PrintEnvWaitsTenSecondsUnlessTold) {
    CommandLine serve;
    ASSERT_EQ(Parse({}, serve), -1);
    EXPECT_FALSE(serve.printEnvWait);

    CommandLine byDefault;
    ASSERT_EQ(Parse({"--print-env"}, byDefault), -1);
    EXPECT_EQ(byDefault.printEnvWait, std::chrono::seconds(10));

    CommandLine told;
    ASSERT_EQ(Parse({"--print-env", "--wait", "0.25"}, told), -1);
    EXPECT_EQ(told.printEnvWait, std::chrono::milliseconds(250));
}

TEST(CommandLineTest, KeepAliveUnlessRefused) {
    CommandLine byDefault;
    ASSERT_EQ(Parse({}, byDefault), -1);
    EXPECT_TRUE(byDefault.sandbox.keepAlive);

    CommandLine refused;
    ASSERT_EQ(Parse({"--no-keep-alive"}, refused), -1);
    EXPECT_FALSE(refused.sandbox.keepAlive);
}

}  // namespace
}  // namespace vexa::sandbox
