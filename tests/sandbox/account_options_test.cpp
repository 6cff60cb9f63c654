// Where the accounts' passwords come from: the command line (readable by every user of the
// machine), an account file only its owner may read, standard input, or the environment; checked
// on the options and on vexa-sandbox itself.
#include "sandbox/account_options.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

#include "sandbox_process.h"
#include "scratch_directory.h"
#include "send_load.h"

namespace vexa::sandbox {
namespace {

using Accounts = std::vector<std::tuple<std::string, std::string, int64_t>>;

Accounts Summary(const std::vector<AccountSetup>& setups) {
    Accounts accounts;
    for (const AccountSetup& a : setups) accounts.emplace_back(a.userId, a.password, a.credit);
    return accounts;
}

class AccountOptionsTest : public testing::Test {
protected:
    // A file of `text` with `mode`.
    std::string File(const std::string& name, const std::string& text, mode_t mode) const {
        const std::filesystem::path file = dir_.Path() / name;
        std::ofstream(file, std::ios::binary) << text;
        ::chmod(file.c_str(), mode);
        return file.string();
    }

    vexa::test::ScratchDirectory dir_;
};

TEST_F(AccountOptionsTest, AnAccountFileOnlyItsOwnerMayReadOrWrite) {
    const std::string text =
        "# accounts for the demo\n\nkim:secret:250\r\n   # lee's comes from elsewhere\nlee\npark:p w\n";
    std::string error;
    const std::optional<std::vector<AccountSetup>> read = ReadAccountFile(File("ok", text, 0600), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(
        Summary(*read),
        (Accounts{{"kim", "secret", 250}, {"lee", "", kDefaultCredit}, {"park", "p w", kDefaultCredit}}));
    ASSERT_TRUE(ReadAccountFile(File("owner-only", text, 0400), error)) << error;
    EXPECT_TRUE(ReadAccountFile(File("empty", "", 0600), error)->empty());

    const struct {
        std::string file;
        std::string said;
    } refused[] = {
        {File("group-readable", text, 0640), "mode 0640"},
        {File("others-readable", text, 0604), "mode 0604"},
        {File("group-writable", text, 0620), "mode 0620"},
        {File("others-writable", text, 0602), "chmod 600"},
        {dir_.Path().string(), "not a regular file"},
        {(dir_.Path() / "missing").string(), "No such file"},
        // Where the bad line is, never what it says: it may hold a password.
        {File("malformed", "kim:secret\n:hunter2\n", 0600), "line 2"},
    };
    for (const auto& r : refused) {
        error.clear();
        EXPECT_FALSE(ReadAccountFile(r.file, error)) << r.file;
        EXPECT_NE(error.find(r.said), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << error;
    }
}

TEST_F(AccountOptionsTest, AnAccountWithoutPasswordTakesItFromStandardInputOrTheEnvironment) {
    const std::string file = File("accounts", "choi\nyoon:own\n", 0600);
    const struct {
        std::vector<std::string> args;
        std::string input;
        const char* environment;
        std::optional<Accounts> accounts;
    } cases[] = {
        {{"--account", "kim:given"}, "", "env", Accounts{{"kim", "given", kDefaultCredit}}},
        {{"--account", "kim"}, "", "env", Accounts{{"kim", "env", kDefaultCredit}}},
        {{"--account", "kim::5", "--password-stdin"}, "typed\nmore\n", "env", Accounts{{"kim", "typed", 5}}},
        {{"--password-stdin", "--account", "kim", "--account", "lee:own"},
         "typed\r\n",
         nullptr,
         Accounts{{"kim", "typed", kDefaultCredit}, {"lee", "own", kDefaultCredit}}},
        {{"--account", "lee:own", "--account-file", file},
         "",
         "env",
         Accounts{{"choi", "env", kDefaultCredit},
                  {"yoon", "own", kDefaultCredit},
                  {"lee", "own", kDefaultCredit}}},
        {{"--account", "kim"}, "", nullptr, std::nullopt},                    // no password anywhere
        {{"--account", "kim"}, "", "", std::nullopt},                         // an empty one is none
        {{"--account", "kim", "--password-stdin"}, "", "env", std::nullopt},  // standard input is empty
        {{"--account", "kim:given", "--password-stdin"}, "typed\n", nullptr, std::nullopt},  // for no account
    };
    for (const auto& c : cases) {
        CLI::App app;
        AccountOptions options;
        options.AddTo(app);
        std::vector<std::string> args = c.args;
        std::reverse(args.begin(), args.end());
        app.parse(args);
        std::istringstream input(c.input);
        std::ostringstream err;
        const std::optional<std::vector<AccountSetup>> accounts = options.Resolve(input, c.environment, err);
        ASSERT_EQ(accounts.has_value(), c.accounts.has_value()) << c.args.front() << " " << err.str();
        if (accounts) {
            EXPECT_EQ(Summary(*accounts), *c.accounts);
        } else {
            EXPECT_NE(err.str(), "");
        }
    }
}

// The same through vexa-sandbox: it starts and the password works, or it exits 2 saying why.
TEST_F(AccountOptionsTest, TheSandboxTakesItsPasswordsWithoutTheCommandLine) {
    const std::string file = File("accounts", "# one account\nkim:from-file:10\n", 0600);
    const std::string open = File("open-accounts", "kim:from-file:10\n", 0644);
    const struct {
        vexa::test::SandboxLaunch start;
        std::string password;  // what the account then takes; empty: the start fails
        std::string said;
    } cases[] = {
        {{{"--account-file", file}, {}, {}}, "from-file", ""},
        {{{"--account", "kim::10", "--password-stdin"}, "from-stdin\n", {}}, "from-stdin", ""},
        {{{"--account", "kim::10"}, {}, {{kPasswordVariable, "from-env"}}}, "from-env", ""},
        {{{"--account-file", open}, {}, {}}, "", "chmod 600"},
        {{{"--account", "kim::10"}, {}, {{kPasswordVariable, ""}}}, "", kPasswordVariable},
    };
    int round = 0;
    for (const auto& c : cases) {
        const std::filesystem::path data = dir_.Path() / ("data" + std::to_string(++round));
        vexa::test::SandboxProcess process(VEXA_SANDBOX_PATH, data, c.start);
        if (c.password.empty()) {
            EXPECT_FALSE(process.Up());
            EXPECT_EQ(process.ExitCode(), 2);
            EXPECT_NE(process.Output().find(c.said), std::string::npos) << process.Output();
            continue;
        }
        ASSERT_TRUE(process.Up()) << process.Output();
        const test::LoadPlan plan{.httpsPort = process.HttpsPort(),
                                  .certificate = process.Certificate(),
                                  .user = "kim",
                                  .password = c.password,
                                  .senders = 1,
                                  .sendsEach = 1};
        const test::SendLoad::Outcome outcome = test::SendLoad(plan).Finish();
        EXPECT_EQ(outcome.failures, 0) << c.password << ": " << outcome.firstFailure;
    }
}

}  // namespace
}  // namespace vexa::sandbox
