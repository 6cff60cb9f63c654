#include "account.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>

#include "arguments.h"
#include "module_location.h"

namespace vexa_cli {
namespace {

TEST(ResolveAccount, AsksForAMissingPasswordOnlyOnATerminal) {
    std::vector<std::string> prompts;
    auto ask = [&](const std::string& prompt) {
        prompts.push_back(prompt);
        return std::string("typed");
    };
    Account account = ResolveAccount("demo", "given", true, ask);
    EXPECT_EQ(account.user, "demo");
    EXPECT_EQ(account.password, "given");
    EXPECT_TRUE(prompts.empty());

    account = ResolveAccount("demo", "", true, ask);
    EXPECT_EQ(account.password, "typed");
    EXPECT_EQ(prompts, std::vector<std::string>{"Password for demo: "});

    prompts.clear();
    EXPECT_THROW(ResolveAccount("demo", "", false, ask), UsageError);
    EXPECT_THROW(ResolveAccount("", "given", true, ask), UsageError);
    EXPECT_TRUE(prompts.empty());
    // Nothing typed at the prompt is no password either.
    EXPECT_THROW(ResolveAccount("demo", "", true, [](const std::string&) { return std::string(); }),
                 UsageError);
}

TEST(FindModule, PrefersTheGivenPathThenTheNearestCandidate) {
    const std::filesystem::path tool = "/opt/build/tools/vexa/vexa";
    EXPECT_EQ(ModuleCandidates(tool),
              (std::vector<std::filesystem::path>{"/opt/build/tools/vexa/VexaComponent32.so",
                                                  "/opt/build/tools/VexaComponent32.so",
                                                  "/opt/build/VexaComponent32.so"}));
    std::set<std::filesystem::path> present;
    auto exists = [&](const std::filesystem::path& p) { return present.count(p) > 0; };

    EXPECT_EQ(FindModule("/elsewhere/VexaComponent32.so", tool, exists), "/elsewhere/VexaComponent32.so");
    try {
        FindModule("", tool, exists);
        ADD_FAILURE() << "found a module where there is none";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/opt/build/VexaComponent32.so"), std::string::npos) << e.what();
    }
    present.insert("/opt/build/VexaComponent32.so");
    EXPECT_EQ(FindModule("", tool, exists), "/opt/build/VexaComponent32.so");
    present.insert("/opt/build/tools/VexaComponent32.so");
    EXPECT_EQ(FindModule("", tool, exists), "/opt/build/tools/VexaComponent32.so");
    present.insert("/opt/build/tools/vexa/VexaComponent32.so");
    EXPECT_EQ(FindModule("", tool, exists), "/opt/build/tools/vexa/VexaComponent32.so");
}

}  // namespace
}  // namespace vexa_cli
