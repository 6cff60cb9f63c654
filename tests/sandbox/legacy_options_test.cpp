// The command line: usage errors, help, the version and the legacy listener's options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

#include "sandbox/options.h"

namespace vexa::sandbox {
namespace {

int Parse(std::vector<const char*> args, SandboxOptions& options) {
    args.insert(args.begin(), {"vexa-sandbox", "--data-dir", "d"});
    std::ostringstream out;
    std::ostringstream err;
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), options, out, err);
}

TEST(LegacyOptionsTest, ALegacyListenerOnlyWhenAPortIsGiven) {
    SandboxOptions none;
    ASSERT_EQ(Parse({}, none), -1);
    EXPECT_FALSE(none.legacyPort);
    EXPECT_FALSE(none.legacySubstitute);

    SandboxOptions any;
    ASSERT_EQ(Parse({"--legacy-port", "0"}, any), -1);
    EXPECT_EQ(any.legacyPort, 0);
    EXPECT_FALSE(any.legacySubstitute);

    SandboxOptions substituted;
    ASSERT_EQ(Parse({"--legacy-port", "4545", "--legacy-substitute"}, substituted), -1);
    EXPECT_EQ(substituted.legacyPort, 4545);
    EXPECT_TRUE(substituted.legacySubstitute);

    for (const std::vector<const char*>& bad : {std::vector<const char*>{"--legacy-substitute"},
                                                {"--legacy-port", "65536"},
                                                {"--legacy-port", "-1"},
                                                {"--legacy-port"}}) {
        SandboxOptions options;
        EXPECT_EQ(Parse(bad, options), 2) << bad[0];
    }
}

// Like vexa's: 2 for every usage error, whatever the parser calls it, and 0 for help and the version.
TEST(CommandLineTest, UsageErrorsExitTwoHelpAndVersionZero) {
    struct Case {
        std::vector<const char*> args;
        int code;
    };
    const Case cases[] = {
        {{"vexa-sandbox"}, 2},                                       // no --data-dir
        {{"vexa-sandbox", "--data-dir", "d", "--bogus"}, 2},         // an unknown option
        {{"vexa-sandbox", "--data-dir", "d", "--account", "x"}, 2},  // a malformed value
        {{"vexa-sandbox", "--help"}, 0},
        {{"vexa-sandbox", "--version"}, 0},  // no --data-dir needed
    };
    for (const Case& c : cases) {
        SandboxOptions options;
        std::ostringstream out, err;
        EXPECT_EQ(ParseCommandLine(static_cast<int>(c.args.size()), c.args.data(), options, out, err), c.code)
            << c.args.back();
    }
}

TEST(CommandLineTest, VersionNamesTheProgramAndItsFourPartVersion) {
    const char* args[] = {"vexa-sandbox", "--version"};
    SandboxOptions options;
    std::ostringstream out, err;
    ASSERT_EQ(ParseCommandLine(2, args, options, out, err), 0);
    EXPECT_THAT(out.str(), ::testing::MatchesRegex("vexa-sandbox [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\n"));
    EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace vexa::sandbox
