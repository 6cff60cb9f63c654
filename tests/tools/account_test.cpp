#include "account.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
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
    const std::filesystem::path installed =
        (std::filesystem::path("/opt/build/tools/vexa") / VEXA_INSTALLED_MODULE_DIR / "VexaComponent32.so")
            .lexically_normal();
    EXPECT_EQ(ModuleCandidates(tool),
              (std::vector<std::filesystem::path>{"/opt/build/tools/vexa/VexaComponent32.so", installed,
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
    present.insert(installed);
    EXPECT_EQ(FindModule("", tool, exists), installed);
    present.insert("/opt/build/tools/vexa/VexaComponent32.so");
    EXPECT_EQ(FindModule("", tool, exists), "/opt/build/tools/vexa/VexaComponent32.so");
}

TEST(LocateComponent, GivenThenRegisteredThenBeside) {
    const std::filesystem::path tool = "/opt/build/tools/vexa/vexa";
    const std::filesystem::path beside = "/opt/build/tools/vexa/VexaComponent32.so";
    const std::filesystem::path registered = "/usr/lib/vexa/VexaComponent32.so";
    std::set<std::filesystem::path> present{beside, registered};
    auto exists = [&](const std::filesystem::path& p) { return present.count(p) > 0; };
    std::optional<std::filesystem::path> registry;
    std::u16string askedFor;
    auto lookup = [&](const OLECHAR* progId) {
        askedFor = progId;
        return registry;
    };

    ComponentLocation found = LocateComponent("", kMessageProgId, tool, lookup, exists);
    EXPECT_EQ(found.source, ModuleSource::kBeside);
    EXPECT_EQ(found.module, beside);
    EXPECT_EQ(askedFor, u"VexaComponent.Message");

    registry = registered;
    found = LocateComponent("", kSmsProgId, tool, lookup, exists);
    EXPECT_EQ(found.source, ModuleSource::kRegistered);
    EXPECT_EQ(found.module, registered);
    EXPECT_EQ(askedFor, u"VexaComponent.SMS");

    askedFor.clear();
    found = LocateComponent("/elsewhere/VexaComponent32.so", kMessageProgId, tool, lookup, exists);
    EXPECT_EQ(found.source, ModuleSource::kGiven);
    EXPECT_EQ(found.module, "/elsewhere/VexaComponent32.so");
    EXPECT_TRUE(askedFor.empty()) << "a given module needs no registry";

    // A stale registration is reported, not passed over for another module.
    present.erase(registered);
    try {
        LocateComponent("", kMessageProgId, tool, lookup, exists);
        ADD_FAILURE() << "a registered module that is gone was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(registered.string()), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vexa_cli
