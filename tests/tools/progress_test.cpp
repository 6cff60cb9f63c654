// The progress line of long sends: written in place, cleared at the end, absent when not shown.
#include "progress.h"

#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

namespace vexa_cli {
namespace {

TEST(Progress, RewritesOneLineAndClearsIt) {
    std::ostringstream out;
    {
        Progress progress(out, true);
        for (size_t i = 1; i <= 250; ++i) progress.Step("preparing receivers", i, 250);
        progress.While("sending 250 receivers", [] {});
    }
    const std::string text = out.str();
    EXPECT_NE(text.find("\rpreparing receivers 100/250"), std::string::npos) << text;
    EXPECT_NE(text.find("\rpreparing receivers 250/250"), std::string::npos) << text;
    EXPECT_NE(text.find("\rsending 250 receivers... 0 s"), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << "the line is rewritten, never ended";
    EXPECT_EQ(text.back(), '\r') << "cleared at the end";
}

TEST(Progress, NothingWhenNotShownAndTheWorkStillRuns) {
    std::ostringstream out;
    bool ran = false;
    {
        Progress progress(out, false);
        progress.Step("preparing receivers", 100, 100);
        progress.While("sending", [&] { ran = true; });
        EXPECT_THROW(progress.While("sending", [] { throw std::runtime_error("refused"); }),
                     std::runtime_error);
    }
    EXPECT_TRUE(ran);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace vexa_cli
