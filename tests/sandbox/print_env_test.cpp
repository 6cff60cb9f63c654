// --print-env: what a POSIX shell gets from it for a running sandbox, and exit 1 for a data
// directory where none runs: never started, stopped, or left behind by a sandbox that died.
#include "sandbox/print_env.h"

#include <cstdio>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "sandbox/sandbox.h"
#include "scratch_directory.h"

namespace vexa::sandbox {
namespace {

using namespace std::chrono_literals;

struct Printed {
    int code = 0;
    std::string out;
    std::string err;
};

Printed Print(const std::filesystem::path& dir, std::chrono::milliseconds wait) {
    std::ostringstream out, err;
    const int code = PrintEnvironment(dir, wait, out, err);
    return {code, out.str(), err.str()};
}

// VEXA_ENDPOINT|VEXA_CACERT|VEXA_SANDBOX_LEGACY|VEXA_USER as /bin/sh has them after evaluating `lines`.
std::string Evaluated(const std::string& lines) {
    test::ScratchDirectory scratch;
    const std::filesystem::path script = scratch.Path() / "env";
    std::ofstream(script) << lines;
    const std::string command =
        "unset VEXA_ENDPOINT VEXA_CACERT VEXA_SANDBOX_LEGACY VEXA_USER; eval \"$(cat " + script.string() +
        ")\" && printf '%s|%s|%s|%s' \"$VEXA_ENDPOINT\" \"$VEXA_CACERT\" "
        "\"$VEXA_SANDBOX_LEGACY\" \"$VEXA_USER\"";
    const std::unique_ptr<FILE, decltype(&::pclose)> shell(::popen(command.c_str(), "r"), ::pclose);
    if (!shell) return "(no shell)";
    std::string text;
    char buffer[256];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, shell.get())) text.append(buffer, got);
    return text;
}

// A child process that has ended: waited for at once, or left a zombie until this goes, as
// after a kill whose parent has not waited yet.
class EndedChild {
public:
    explicit EndedChild(bool waited) : pid_(::fork()), waited_(waited) {
        if (pid_ == 0) ::_exit(0);
        siginfo_t info{};
        ::waitid(P_PID, pid_, &info, WEXITED | (waited ? 0 : WNOWAIT));
    }
    ~EndedChild() {
        if (!waited_) ::waitpid(pid_, nullptr, 0);
    }
    EndedChild(const EndedChild&) = delete;
    EndedChild& operator=(const EndedChild&) = delete;
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_;
    bool waited_;
};

// An endpoints file as a sandbox writes it, of process `pid`.
void LeaveEndpoints(const std::filesystem::path& dir, pid_t pid) {
    std::ofstream(dir / "endpoints") << "http=http://127.0.0.1:1\nhttps=https://127.0.0.1:2\ncertificate="
                                     << (dir / "cert.pem").string() << "\npid=" << pid << "\n";
}

class PrintEnvTest : public testing::Test {
protected:
    std::unique_ptr<Sandbox> Start(std::vector<AccountSetup> accounts, bool legacy) {
        SandboxOptions options;
        options.dataDir = dir_;
        options.accounts = std::move(accounts);
        if (legacy) options.legacyPort = 0;
        return std::make_unique<Sandbox>(options);
    }

    test::ScratchDirectory scratch_;
    // A name a shell must be careful with.
    const std::filesystem::path dir_ = scratch_.Path() / "it's data";
};

const AccountSetup kDemo{"demo", "secret", 100, "demo", "02-000-0000"};
const AccountSetup kLee{"lee", "secret", 100, "lee", "02-000-0000"};

TEST_F(PrintEnvTest, AShellGetsTheRunningSandboxsEndpoints) {
    struct Case {
        std::vector<AccountSetup> accounts;
        bool legacy;
    };
    for (const Case& c : {Case{{kDemo}, true}, Case{{kDemo, kLee}, false}}) {
        const std::unique_ptr<Sandbox> sandbox = Start(c.accounts, c.legacy);
        const Printed printed = Print(dir_, 0ms);
        ASSERT_EQ(printed.code, 0) << printed.err;
        EXPECT_EQ(Evaluated(printed.out),
                  sandbox->GetEndpoints().https + "|" + sandbox->Certificate().certificate.string() + "|" +
                      sandbox->GetEndpoints().legacy + "|" + (c.accounts.size() == 1 ? "demo" : ""));
        // Only what is known is exported: no empty VEXA_SANDBOX_LEGACY or VEXA_USER.
        EXPECT_EQ(printed.out.find("VEXA_SANDBOX_LEGACY") != std::string::npos, c.legacy);
        EXPECT_EQ(printed.out.find("VEXA_USER") != std::string::npos, c.accounts.size() == 1);
    }
}

TEST_F(PrintEnvTest, NoSandboxRunningExitsOneSaysWhy) {
    const Printed never = Print(dir_, 100ms);
    EXPECT_EQ(never.code, 1);
    EXPECT_EQ(never.out, "");
    EXPECT_NE(never.err.find(dir_.string()), std::string::npos) << never.err;

    Start({kDemo}, false).reset();
    EXPECT_EQ(Print(dir_, 100ms).code, 1);

    for (const bool waited : {true, false}) {
        const EndedChild ended(waited);
        LeaveEndpoints(dir_, ended.Pid());
        const Printed stale = Print(dir_, 100ms);
        EXPECT_EQ(stale.code, 1) << waited;
        EXPECT_EQ(stale.out, "");
        EXPECT_NE(stale.err.find(std::to_string(ended.Pid()) + ", which has ended"), std::string::npos)
            << stale.err;
    }
}

// The quick start: the sandbox goes to the background and --print-env runs at once, with a file of
// an earlier, killed run still there.
TEST_F(PrintEnvTest, WaitsPastAStaleFileForTheSandboxThatStarts) {
    Start({kDemo}, false).reset();
    LeaveEndpoints(dir_, EndedChild(true).Pid());
    std::future<Printed> printing = std::async(std::launch::async, [this] { return Print(dir_, 60s); });
    std::this_thread::sleep_for(100ms);  // so that it meets the stale file first
    const std::unique_ptr<Sandbox> sandbox = Start({kDemo}, false);
    const Printed printed = printing.get();
    ASSERT_EQ(printed.code, 0) << printed.err;
    EXPECT_EQ(Evaluated(printed.out),
              sandbox->GetEndpoints().https + "|" + sandbox->Certificate().certificate.string() + "||demo");
}

}  // namespace
}  // namespace vexa::sandbox
