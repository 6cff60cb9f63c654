// The command line's legacy listener options.
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
        EXPECT_GT(Parse(bad, options), 0) << bad[0];
    }
}

}  // namespace
}  // namespace vexa::sandbox
