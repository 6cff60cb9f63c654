// Profiles of settings: the file, what wins over it, and vexa config.
#include "profiles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli.h"
#include "config_command.h"
#include "scoped_env.h"
#include "scratch_directory.h"

namespace vexa_cli {
namespace {

using vexa::test::ScopedEnv;

class ProfileSettings : public testing::Test {
protected:
    std::filesystem::path Write(const char* name, const std::string& text, std::filesystem::perms mode) {
        const std::filesystem::path path = scratch_.Path() / name;
        std::ofstream(path) << text;
        std::filesystem::permissions(path, mode);
        return path;
    }
    vexa::test::ScratchDirectory scratch_;
    std::filesystem::path file_ = scratch_.Path() / "vexa" / "config.toml";
};

TEST_F(ProfileSettings, TheFileReadsBackAsItWasWritten) {
    const Profiles profiles = {{"default", {{"user", "kim"}, {"endpoint", "https://h:1"}}},
                               {"sandbox", {{"cacert", "/a \"quoted\" \\ path"}}}};
    EXPECT_EQ(ParseProfiles(FormatProfiles(profiles), "f"), profiles);
    EXPECT_EQ(ParseProfiles("# c\n[default]  # note\nuser = \"kim\"  # who\n\n", "f"),
              (Profiles{{"default", {{"user", "kim"}}}}));
}

TEST_F(ProfileSettings, MistakesNameTheLine) {
    const struct {
        const char* text;
        const char* message;
    } kCases[] = {
        {"user = \"kim\"\n", "f:1: 'user' stands before any [PROFILE]"},
        {"[default]\npassword = \"x\"\n", "f:2: unknown key 'password'"},
        {"[default]\nuser = kim\n", "f:2: a value is a quoted string"},
        {"[default]\nuser = \"kim\n", "f:2: a string is not closed"},
        {"[a b]\n", "f:1: a profile is [NAME]"},
        {"[default]\nuser\n", "f:2: expected KEY = \"VALUE\""},
    };
    for (const auto& c : kCases) {
        try {
            ParseProfiles(c.text, "f");
            ADD_FAILURE() << c.text;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST_F(ProfileSettings, OptionsAndVariablesWinAndOnlyEmptySettingsAreFilled) {
    const std::filesystem::path password =
        Write("pw", "secret\nsecond line\n", std::filesystem::perms::owner_read);
    SaveProfiles(file_, {{"default", {{"user", "kim"}, {"endpoint", "https://profile:1"}}},
                         {"work", {{"legacy", "10.0.0.5:7000"}, {"password_file", password.string()}}}});
    RawOptions raw;
    raw.common.endpoint = "https://given:2";
    ApplyProfile(raw, "", file_);
    EXPECT_EQ(raw.common.endpoint, "https://given:2");
    EXPECT_EQ(raw.common.user, "kim");
    EXPECT_FALSE(raw.legacy);

    RawOptions work;
    ApplyProfile(work, "work", file_);
    EXPECT_EQ(work.legacy, "10.0.0.5:7000");
    EXPECT_EQ(work.common.password, "secret");
    EXPECT_THROW(ApplyProfile(work, "nope", file_), UsageError);

    RawOptions none;
    ApplyProfile(none, "", scratch_.Path() / "missing.toml");
    EXPECT_TRUE(none.common.user.empty());

    // The file the profiles live in is the user's alone.
    struct stat info {};
    ASSERT_EQ(stat(file_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(file_.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(ProfileSettings, APasswordFileOthersMayReadIsRefused) {
    const std::filesystem::path open =
        Write("open", "secret\n", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    try {
        ReadPasswordFile(open);
        ADD_FAILURE();
    } catch (const UsageError& e) {
        EXPECT_NE(std::string(e.what()).find("chmod 600"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadPasswordFile(scratch_.Path() / "missing"), UsageError);
}

TEST_F(ProfileSettings, ConfigSetsShowsAndUnsets) {
    RunConfig({ConfigRequest::Action::Set, "sandbox", "endpoint", "https://127.0.0.1:8443"}, file_);
    const CommandResult shown = RunConfig({ConfigRequest::Action::Show, "sandbox", "", ""}, file_);
    EXPECT_NE(RenderText(shown.report).find("endpoint       https://127.0.0.1:8443\n"), std::string::npos)
        << RenderText(shown.report);
    EXPECT_THROW(RunConfig({ConfigRequest::Action::Set, "sandbox", "password", "x"}, file_), UsageError);
    EXPECT_THROW(RunConfig({ConfigRequest::Action::Set, "sandbox", "legacy", "no-port"}, file_), UsageError);
    RunConfig({ConfigRequest::Action::Unset, "sandbox", "endpoint", ""}, file_);
    EXPECT_TRUE(LoadProfiles(file_).empty()) << "a profile left without keys goes";
}

TEST_F(ProfileSettings, TheCommandLineNamesAProfileBeforeOrAfterTheCommand) {
    const ScopedEnv config("XDG_CONFIG_HOME", scratch_.Path().c_str());
    const ScopedEnv noEndpoint("VEXA_ENDPOINT", nullptr);
    SaveProfiles(file_, {{"sandbox", {{"endpoint", "https://profile:1"}, {"user", "kim"}}}});
    std::ostringstream out, err;
    const auto parse = [&](std::vector<const char*> args) {
        args.insert(args.begin(), "vexa");
        return ParseCommandLine(static_cast<int>(args.size()), args.data(), out, err, {2026, 12});
    };
    EXPECT_EQ(parse({"--profile", "sandbox", "logs"}).invocation->options.endpoint, "https://profile:1");
    EXPECT_EQ(parse({"logs", "--profile", "sandbox"}).invocation->options.user, "kim");
    {
        const ScopedEnv variable("VEXA_ENDPOINT", "https://variable:2");
        EXPECT_EQ(parse({"--profile", "sandbox", "logs"}).invocation->options.endpoint, "https://variable:2");
    }
    EXPECT_EQ(parse({"--profile", "nope", "logs"}).exitCode, kExitUsage);
}

}  // namespace
}  // namespace vexa_cli
