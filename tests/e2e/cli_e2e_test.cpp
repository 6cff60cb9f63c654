// The vexa command-line host against a real sandbox: its output and its exit codes.
#include <array>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e_fixture.h"
#include "picture_fixtures.h"

extern char** environ;

namespace vexa::e2e {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool with the given arguments and extra environment, collecting both outputs.
ToolRun RunVexa(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::array<int, 2> out{}, err{};
    if (pipe(out.data()) != 0 || pipe(err.data()) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (int fd : {out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);

    std::vector<std::string> argv = {VEXA_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (std::string& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> envs = env;
    for (char** e = environ; *e; ++e) {
        if (std::string_view(*e).starts_with("VEXA_")) continue;  // only what the test gives
        envs.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    ToolRun run;
    std::array<pollfd, 2> fds{pollfd{out[0], POLLIN, 0}, pollfd{err[0], POLLIN, 0}};
    std::array<std::string*, 2> sinks{&run.out, &run.err};
    for (int open = 2; spawned == 0 && open > 0;) {
        if (poll(fds.data(), fds.size(), 30000) <= 0) break;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

// The month key of transfers written now: the local month.
std::string ThisMonth() {
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char month[32];
    std::snprintf(month, sizeof month, "%04d%02d", local.tm_year + 1900, local.tm_mon + 1);
    return month;
}

// The first value of a JSON member holding digits, as send --json prints date and index.
std::string JsonDigits(const std::string& json, const std::string& member) {
    const std::string key = "\"" + member + "\": \"";
    const size_t start = json.find(key);
    if (start == std::string::npos) return {};
    const size_t from = start + key.size();
    return json.substr(from, json.find('"', from) - from);
}

// A local time this many seconds from now, as --at takes it.
std::string LocalTimeIn(int64_t seconds) {
    const time_t then = std::time(nullptr) + seconds;
    tm local{};
    localtime_r(&then, &local);
    char at[32];
    std::strftime(at, sizeof at, "%Y-%m-%d %H:%M", &local);
    return at;
}

// The first value of a JSON text member after `from` (a receiver's phone or a transfer's index).
std::string MemberAfter(const std::string& json, const std::string& from, const std::string& member) {
    const size_t start = json.find(from);
    if (start == std::string::npos) return "(" + from + " not found)";
    const std::string key = "\"" + member + "\": \"";
    const size_t at = json.find(key, start);
    if (at == std::string::npos) return "(" + member + " not found)";
    const size_t value = at + key.size();
    return json.substr(value, json.find('"', value) - value);
}

class CliEndToEnd : public EndToEndTest {
protected:
    std::vector<std::string> Environment(const std::string& password = "secret") const {
        return {"VEXA_MODULE=" VEXA_MODULE_PATH, "VEXA_USER=kim", "VEXA_PASSWORD=" + password,
                "VEXA_ENDPOINT=" + sandbox_->GetEndpoints().https,
                "VEXA_CACERT=" + sandbox_->Certificate().certificate.string()};
    }
};

TEST_F(CliEndToEnd, StatusSendAndLogs) {
    const ToolRun status = RunVexa({"status"}, Environment());
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_NE(status.out.find("김민수"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find(std::to_string(kCredit)), std::string::npos);

    const ToolRun sent = RunVexa({"send", "--to", "홍길동:010-1234-5678", "--text", "안녕"}, Environment());
    EXPECT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("010-1234-5678"), std::string::npos);

    const ToolRun logs = RunVexa({"logs", "--json"}, Environment());
    EXPECT_EQ(logs.exitCode, 0) << logs.err;
    EXPECT_NE(logs.out.find("\"index\": \"1\""), std::string::npos) << logs.out;

    // The service refuses to cancel a transfer that went out at once: the call worked, but not
    // everything asked was done.
    const ToolRun cancel = RunVexa({"cancel", ThisMonth(), "1"}, Environment());
    EXPECT_EQ(cancel.exitCode, 3) << cancel.out << cancel.err;
}

TEST_F(CliEndToEnd, AnMmsWithAPictureShowsItsImageInTheDetail) {
    const vexa::test::ScratchDirectory pictures;
    const std::string picture = (pictures.Path() / "pic.png").string();
    vexa::test::WriteFile(
        picture, vexa::test::SavedPicture("png", 16, 8, false, [](int x, int y) {
            return vexa::test::Rgba{static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 32), 128, 255};
        }));
    const ToolRun sent = RunVexa({"send", "--to", "010-1234-5678", "--subject", "사진", "--text",
                                  "사진을 보냅니다", "--image", picture, "--json"},
                                 Environment());
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("\"type\": \"mms\""), std::string::npos) << sent.out;
    EXPECT_NE(sent.out.find("\"imageCount\": 1,"), std::string::npos) << sent.out;

    const ToolRun detail = RunVexa({"detail", ThisMonth(), "1", "--json"}, Environment());
    ASSERT_EQ(detail.exitCode, 0) << detail.err;
    const std::string list = "\"imageUrls\": [\n    \"";
    const size_t first = detail.out.find(list);
    ASSERT_NE(first, std::string::npos) << detail.out;
    const size_t end = detail.out.find("\"\n  ]", first);
    ASSERT_NE(end, std::string::npos) << detail.out;
    const std::string url = detail.out.substr(first + list.size(), end - first - list.size());
    EXPECT_EQ(url, sandbox_->GetEndpoints().https + "/images/kim/" + ThisMonth() + "/1/1.jpg") << detail.out;
}

TEST_F(CliEndToEnd, FailuresShowTheComponentsTextAndCode) {
    const ToolRun refused = RunVexa({"status"}, Environment("wrong"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("로그인에 실패하였습니다."), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("0x8004A003"), std::string::npos) << refused.err;

    const ToolRun usage = RunVexa({"logs", "--days", "1-40"}, Environment());
    EXPECT_EQ(usage.exitCode, 2);
    const ToolRun unknown = RunVexa({"frobnicate"}, Environment());
    EXPECT_EQ(unknown.exitCode, 2);

    const std::string missing = (directory_.Path() / "missing.png").string();
    const ToolRun noPicture =
        RunVexa({"send", "--to", "0101234", "--text", "t", "--image", missing}, Environment());
    EXPECT_EQ(noPicture.exitCode, 1);
    EXPECT_NE(noPicture.err.find("'" + missing + "'"), std::string::npos) << noPicture.err;
}

// Each failure a user meets says what went wrong, with what vexa knows, and what to do.
TEST_F(CliEndToEnd, FailuresSayWhatToDo) {
    const std::string https = sandbox_->GetEndpoints().https, http = sandbox_->GetEndpoints().http;
    const std::string cert = "VEXA_CACERT=" + sandbox_->Certificate().certificate.string();
    const std::vector<std::string> base = {"VEXA_MODULE=" VEXA_MODULE_PATH, "VEXA_USER=kim",
                                           "VEXA_PASSWORD=secret"};
    const auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.end(), base.begin(), base.end());
        return extra;
    };
    const std::string text = (directory_.Path() / "notes.txt").string();
    std::ofstream(text) << "not a picture";
    std::vector<std::string> manyReceivers = {"send", "--subject", "s", "--text", "t"};
    for (int i = 0; i < 20; ++i)
        manyReceivers.insert(manyReceivers.end(), {"--to", "010-1234-" + std::to_string(5600 + i)});

    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        int exitCode;
        std::string message;
    } kCases[] = {
        {{"status", "--password", "wrong"}, Environment(), 1, "login refused for user kim at " + https},
        {{"status"},
         with({"VEXA_ENDPOINT=" + https}),
         1,
         "the server's certificate at " + https + " is not trusted"},
        {{"status"}, with({"VEXA_ENDPOINT=https" + http.substr(4), cert}), 1, "speaks plain HTTP, not HTTPS"},
        {{"status"},
         with({"VEXA_ENDPOINT=https://127.0.0.1:1", cert}),
         1,
         "nothing answers at https://127.0.0.1:1"},
        {manyReceivers, Environment(), 1,
         "not enough credit: this send needs 60 (20 receivers x 3 per lms), the account has 50"},
        {{"send", "--to", "010-1234-5678", "--text", "t", "--image", text},
         Environment(),
         1,
         "' was not added: it is not a picture"},
        {{"logs", "--days", "1-40"}, Environment(), 2, "days '1-40' do not all exist"},
    };
    for (const auto& c : kCases) {
        const ToolRun run = RunVexa(c.args, c.env);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }

    // With --json, before the command or after it, the failure is a document on standard output too.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--json", "status", "--password", "wrong"},
          std::vector<std::string>{"status", "--password", "wrong", "--json"}}) {
        const ToolRun run = RunVexa(args, Environment());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.out.find("\"name\": \"VEXA_E_LOGINFAIL\""), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\"hint\": \"check VEXA_PASSWORD"), std::string::npos) << run.out;
    }
}

// What a send would change is said before it goes; --strict refuses it, --quiet says nothing, and
// a summary line ends the send.
TEST_F(CliEndToEnd, SendWarnsRefusesWhenStrictAndSumsUp) {
    const std::vector<std::string> send = {"send",          "--to",   "010-1234-5678", "--to",
                                           "010-1234-5678", "--text", "웃어요 😀"};
    std::vector<std::string> strict = send;
    strict.push_back("--strict");
    const ToolRun refused = RunVexa(strict, Environment());
    EXPECT_EQ(refused.exitCode, 2) << refused.err;
    EXPECT_NE(refused.err.find("--strict refuses to send"), std::string::npos) << refused.err;
    EXPECT_NE(RunVexa({"logs"}, Environment()).out.find("No transfers."), std::string::npos)
        << "nothing was sent";

    const ToolRun warned = RunVexa(send, Environment());
    EXPECT_EQ(warned.exitCode, 0) << warned.err;
    EXPECT_NE(
        warned.err.find("vexa: warning: the text holds 1 character that the service's code page (CP949) "
                        "cannot carry, sent as '?': 😀"),
        std::string::npos)
        << warned.err;
    EXPECT_NE(warned.err.find("010-1234-5678 is given more than once"), std::string::npos) << warned.err;
    EXPECT_NE(warned.out.find("\n2 accepted, 0 refused, credit " + std::to_string(kCredit - 2) + " left\n"),
              std::string::npos)
        << warned.out;

    std::vector<std::string> quiet = send;
    quiet.push_back("--quiet");
    const ToolRun silent = RunVexa(quiet, Environment());
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_EQ(silent.err, "");
}

// A bulk send from a CSV file: names and texts of their own reach the service.
TEST_F(CliEndToEnd, SendToTheReceiversOfAFile) {
    const std::string file = (directory_.Path() / "receivers.csv").string();
    std::ofstream(file) << "phone,name,text\n010-1111-2222,홍길동\n010-3333-4444,,\"따로, 보내는 글\"\n";
    const ToolRun sent = RunVexa(
        {"send", "--to-file", file, "--to", "010-5555-6666", "--text", "공통 글", "--json"}, Environment());
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("\"accepted\": 3,"), std::string::npos) << sent.out;
    const ToolRun detail = RunVexa(
        {"detail", JsonDigits(sent.out, "date"), JsonDigits(sent.out, "index"), "--json"}, Environment());
    EXPECT_EQ(MemberAfter(detail.out, "\"phone\": \"010-1111-2222\"", "name"), "홍길동") << detail.out;
    EXPECT_EQ(MemberAfter(detail.out, "\"phone\": \"010-1111-2222\"", "message"), "공통 글") << detail.out;
    EXPECT_EQ(MemberAfter(detail.out, "\"phone\": \"010-3333-4444\"", "message"), "따로, 보내는 글")
        << detail.out;

    std::ofstream(file) << "010-1111-2222\nnot a phone\n";
    const ToolRun mistake = RunVexa({"send", "--to-file", file, "--text", "t"}, Environment());
    EXPECT_EQ(mistake.exitCode, 2);
    EXPECT_NE(mistake.err.find(file + ":2: "), std::string::npos) << mistake.err;
}

// A transfer the service does not know is a failure, and an index or month that cannot name one
// is a usage error found before anything is sent.
TEST_F(CliEndToEnd, DetailOfNoSuchTransferOrOfAMalformedIndex) {
    ASSERT_EQ(RunVexa({"send", "--to", "010-1234-5678", "--text", "t"}, Environment()).exitCode, 0);
    const ToolRun unknown = RunVexa({"detail", ThisMonth(), "99"}, Environment());
    EXPECT_EQ(unknown.exitCode, 1) << unknown.out;
    EXPECT_NE(unknown.err.find("knows no transfer 99"), std::string::npos) << unknown.err;
    // Sent as an SMS: asked for as an LMS it is not there either.
    const ToolRun otherType = RunVexa({"detail", ThisMonth(), "1", "--type", "lms"}, Environment());
    EXPECT_EQ(otherType.exitCode, 1) << otherType.out;

    for (const char* index : {"abc", "0", "007", "-1"}) {
        const ToolRun run = RunVexa({"detail", ThisMonth(), index}, Environment());
        EXPECT_EQ(run.exitCode, 2) << index << ": " << run.err;
        EXPECT_NE(run.err.find("not a transfer index"), std::string::npos) << run.err;
    }
    const ToolRun month = RunVexa({"detail", "2026", "1"}, Environment());
    EXPECT_EQ(month.exitCode, 2) << month.err;
}

// Receivers wait an hour for their reports, so that each state can be seen.
class CliDeliveryEndToEnd : public CliEndToEnd {
protected:
    CliDeliveryEndToEnd() { deliveryDelay_ = 3600; }

    std::string SendJson(std::vector<std::string> args) {
        args.insert(args.begin(), "send");
        args.push_back("--json");
        const ToolRun sent = RunVexa(args, Environment());
        EXPECT_EQ(sent.exitCode, 0) << sent.err;
        return sent.out;
    }
    std::string ReceiverState(const std::string& month, const std::string& index, const std::string& phone) {
        const ToolRun detail = RunVexa({"detail", month, index, "--json"}, Environment());
        EXPECT_EQ(detail.exitCode, 0) << detail.err;
        return MemberAfter(detail.out, "\"phone\": \"" + phone + "\"", "state");
    }
    std::string TransferState(const std::string& month, const std::string& index) {
        const ToolRun logs = RunVexa({"logs", month, "--json"}, Environment());
        EXPECT_EQ(logs.exitCode, 0) << logs.err;
        return MemberAfter(logs.out, "\"index\": \"" + index + "\"", "state");
    }
};

TEST_F(CliDeliveryEndToEnd, ReceiversAndTransfersShowWhatBecameOfThem) {
    const std::string direct = SendJson({"--to", "010-1234-5678", "--to", "010-5555-0000", "--text", "t"});
    const std::string month = JsonDigits(direct, "date"), index = JsonDigits(direct, "index");
    EXPECT_EQ(ReceiverState(month, index, "010-1234-5678"), "pending");
    EXPECT_EQ(TransferState(month, index), "pending");

    clock_.Advance(3601);  // the reports are in
    EXPECT_EQ(ReceiverState(month, index, "010-1234-5678"), "delivered");
    EXPECT_EQ(ReceiverState(month, index, "010-5555-0000"), "no such number");
    EXPECT_EQ(TransferState(month, index), "partly delivered");

    const std::string at = LocalTimeIn(2 * 86400);
    const std::string reserved = SendJson({"--to", "010-2222-3333", "--text", "t", "--at", at});
    const std::string reservedIndex = JsonDigits(reserved, "index");
    EXPECT_EQ(ReceiverState(month, reservedIndex, "010-2222-3333"), "reserved");
    EXPECT_EQ(TransferState(month, reservedIndex), "reserved");

    const std::string cancelled = SendJson({"--to", "010-4444-5555", "--text", "t", "--at", at});
    const std::string cancelledIndex = JsonDigits(cancelled, "index");
    ASSERT_EQ(RunVexa({"cancel", month, cancelledIndex}, Environment()).exitCode, 0);
    EXPECT_EQ(ReceiverState(month, cancelledIndex, "010-4444-5555"), "cancelled");
    EXPECT_EQ(TransferState(month, cancelledIndex), "cancelled");
}

// The service answers a refused cancel or delete with "failed" alone; vexa says why.
TEST_F(CliDeliveryEndToEnd, ARefusedCancelOrDeleteSaysWhy) {
    const std::string direct = SendJson({"--to", "010-1234-5678", "--text", "t"});
    const std::string month = JsonDigits(direct, "date"), index = JsonDigits(direct, "index");
    const std::string reserved =
        SendJson({"--to", "010-1234-5678", "--text", "t", "--at", LocalTimeIn(86400)});
    const std::string reservedIndex = JsonDigits(reserved, "index");
    ASSERT_EQ(RunVexa({"cancel", month, reservedIndex}, Environment()).exitCode, 0);
    ASSERT_EQ(RunVexa({"delete", month, index}, Environment()).exitCode, 0);

    const struct {
        std::vector<std::string> args;
        const char* reason;
    } kCases[] = {
        {{"cancel", month, reservedIndex}, "already cancelled"},
        {{"cancel", month, "99"}, "no such transfer"},
        {{"cancel", month, reservedIndex, "--type", "lms"}, "it is an sms, not an lms"},
        {{"delete", month, index}, "already deleted"},
        {{"delete", month, "99"}, "no such transfer"},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const ToolRun run = RunVexa(args, Environment());
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_EQ(MemberAfter(run.out, "\"result\": \"failed\"", "reason"), c.reason) << run.out;
    }
    const std::string later = SendJson({"--to", "010-1234-5678", "--text", "t"});
    const ToolRun notReserved =
        RunVexa({"cancel", month, JsonDigits(later, "index"), "--json"}, Environment());
    EXPECT_EQ(MemberAfter(notReserved.out, "\"result\": \"failed\"", "reason"),
              "not a reservation: it went out at once")
        << notReserved.out;
}

TEST_F(CliEndToEnd, DetailOfALongMessageShowsItsSubject) {
    const ToolRun sent = RunVexa(
        {"send", "--to", "010-1234-5678", "--subject", "공지", "--text", "긴 글", "--json"}, Environment());
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    const ToolRun detail =
        RunVexa({"detail", JsonDigits(sent.out, "date"), JsonDigits(sent.out, "index")}, Environment());
    EXPECT_EQ(detail.exitCode, 0) << detail.err;
    EXPECT_NE(detail.out.find("Subject       공지\n"), std::string::npos) << detail.out;
}

// The same tool on the sandbox's legacy listener: the SMS object over TCP, on the same store.
class LegacyCliEndToEnd : public CliEndToEnd {
protected:
    LegacyCliEndToEnd() { withLegacyListener_ = true; }

    // The command with --legacy and the sandbox's address after its name. The REST endpoint's
    // variables stay set: they have no part in a legacy call.
    ToolRun RunLegacy(std::vector<std::string> args, const std::string& password = "secret") const {
        args.insert(args.begin() + 1, {"--legacy", sandbox_->GetEndpoints().legacy});
        return RunVexa(args, Environment(password));
    }
};

TEST_F(LegacyCliEndToEnd, StatusSendLogsDetailCancelAndDelete) {
    const ToolRun status = RunLegacy({"status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_NE(status.out.find("김민수"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("02-123-4567"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find(std::to_string(kCredit)), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("Server version"), std::string::npos) << status.out;

    const ToolRun sent = RunLegacy(
        {"send", "--to", "010-1234-5678", "--text", "레거시 안녕", "--from", "02-123-4567", "--json"});
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("\"type\": \"sms\""), std::string::npos) << sent.out;
    const std::string month = JsonDigits(sent.out, "date"), index = JsonDigits(sent.out, "index");
    EXPECT_EQ(month, ThisMonth()) << sent.out;
    ASSERT_FALSE(index.empty()) << sent.out;

    const ToolRun logs = RunLegacy({"logs", "--json"});
    EXPECT_EQ(logs.exitCode, 0) << logs.err;
    EXPECT_NE(logs.out.find("\"index\": \"" + index + "\""), std::string::npos) << logs.out;
    EXPECT_NE(logs.out.find("\"message\": \"레거시 안녕\""), std::string::npos) << logs.out;

    const ToolRun detail = RunLegacy({"detail", month, index});
    EXPECT_EQ(detail.exitCode, 0) << detail.err;
    EXPECT_NE(detail.out.find("010-1234-5678"), std::string::npos) << detail.out;
    EXPECT_NE(detail.out.find("레거시 안녕"), std::string::npos) << detail.out;

    // A reservation an hour ahead, cancelled before it goes out.
    const time_t later = std::time(nullptr) + 3600;
    tm local{};
    localtime_r(&later, &local);
    char at[32];
    std::strftime(at, sizeof at, "%Y-%m-%d %H:%M", &local);
    const ToolRun reserved =
        RunLegacy({"send", "--to", "010-7777-8888", "--text", "예약", "--at", at, "--json"});
    ASSERT_EQ(reserved.exitCode, 0) << reserved.err;
    const std::string reservedMonth = JsonDigits(reserved.out, "date");
    const std::string reservedIndex = JsonDigits(reserved.out, "index");
    const ToolRun reservations = RunLegacy({"logs", reservedMonth, "--reserved", "--json"});
    EXPECT_EQ(reservations.exitCode, 0) << reservations.err;
    EXPECT_NE(reservations.out.find("\"index\": \"" + reservedIndex + "\""), std::string::npos)
        << reservations.out;
    EXPECT_EQ(reservations.out.find("\"index\": \"" + index + "\""), std::string::npos)
        << "a direct transfer among the reservations: " << reservations.out;
    const ToolRun cancel = RunLegacy({"cancel", reservedMonth, reservedIndex});
    EXPECT_EQ(cancel.exitCode, 0) << cancel.out << cancel.err;
    EXPECT_NE(cancel.out.find("succeeded"), std::string::npos) << cancel.out;

    const ToolRun removed = RunLegacy({"delete", month, index});
    EXPECT_EQ(removed.exitCode, 0) << removed.out << removed.err;
}

TEST_F(LegacyCliEndToEnd, ATransferSentOverTheLegacyProtocolIsInTheRestLog) {
    const ToolRun sent =
        RunLegacy({"send", "--to", "010-1234-5678", "--text", "두 길로 같은 기록", "--json"});
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    const std::string index = JsonDigits(sent.out, "index");
    ASSERT_FALSE(index.empty()) << sent.out;

    const ToolRun logs = RunVexa({"logs", "--json"}, Environment());
    EXPECT_EQ(logs.exitCode, 0) << logs.err;
    EXPECT_NE(logs.out.find("\"index\": \"" + index + "\""), std::string::npos) << logs.out;
    EXPECT_NE(logs.out.find("\"message\": \"두 길로 같은 기록\""), std::string::npos) << logs.out;
    EXPECT_NE(logs.out.find("\"type\": \"sms\""), std::string::npos) << logs.out;
}

TEST_F(LegacyCliEndToEnd, FailuresAndMistakes) {
    const ToolRun refused = RunLegacy({"status"}, "wrong");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Login: 로그인에 실패하였습니다. (0x8004A003)"), std::string::npos)
        << refused.err;

    const ToolRun lms = RunLegacy({"send", "--to", "0101234", "--text", "t", "--subject", "s"});
    EXPECT_EQ(lms.exitCode, 2);
    EXPECT_NE(lms.err.find("--subject does not go with --legacy"), std::string::npos) << lms.err;
    const ToolRun noPort = RunVexa({"status", "--legacy", "127.0.0.1"}, Environment());
    EXPECT_EQ(noPort.exitCode, 2) << noPort.err;
}

}  // namespace
}  // namespace vexa::e2e
