// vexa-sandbox's store in a process of its own, reached only through its HTTPS endpoint, with the
// load tests' own helpers and bigger numbers:
//   load:    SENDERS senders at once sending SENDS one-receiver texts each, the month's logs read
//            after every fifth; then the store file is audited (integrity, every acknowledged send
//            stored once under its key, the credit adding up): sends per second, the log's size;
//   crash:   the same killed with SIGKILL once KILL_AFTER sends are acknowledged and started again
//            on its directory, CRASHES times; then the same audit;
//   log:     LOG_SENDS sends (the logs read after every hundredth) with the write-ahead log
//            watched: its largest and final size, and the database's;
//   logins:  LOGINS refused logins of each kind in turns over one kept-alive connection, a known
//            user with a wrong password and a user ID without an account: the time of each (the
//            reply included), medians and means, and their ratio.
// Exits 1 when an audit finds a discrepancy.
//
// Usage: vexa_store_bench [--senders N] [--sends N] [--crashes N] [--kill-after N] [--log-sends N]
//                         [--logins N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_size_watch.h"
#include "load_rig.h"
#include "rest_requests.h"
#include "sandbox/sandbox.h"
#include "wire_connection.h"

namespace vexa::sandbox::test {
namespace {

struct Options {
    int senders = 8;
    int sends = 200;
    int crashes = 3;
    int killAfter = 300;
    int logSends = 10000;
    int logins = 100;
};

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--senders")) {
            options.senders = value;
        } else if (!std::strcmp(argv[i], "--sends")) {
            options.sends = value;
        } else if (!std::strcmp(argv[i], "--crashes")) {
            options.crashes = value;
        } else if (!std::strcmp(argv[i], "--kill-after")) {
            options.killAfter = value;
        } else if (!std::strcmp(argv[i], "--log-sends")) {
            options.logSends = value;
        } else if (!std::strcmp(argv[i], "--logins")) {
            options.logins = value;
        } else {
            throw std::runtime_error(std::string("unknown option ") + argv[i]);
        }
    }
    return options;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }
double MiB(uintmax_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

// Prints what the audit of the rig's store found; true when nothing.
bool Audit(const LoadRig& rig, const char* what, const std::vector<Acknowledged>& acknowledged,
           bool nothingElse) {
    const StoreContents store = rig.Stored();
    const std::string found = Discrepancies(store, acknowledged, LoadRig::kStartCredit, nothingElse);
    std::printf("  %-6s audit: integrity %s, %zu acknowledged, %lld stored, credit %lld = %lld - %lld: %s\n",
                what, store.integrity.c_str(), acknowledged.size(), static_cast<long long>(store.transfers),
                static_cast<long long>(store.credit), static_cast<long long>(LoadRig::kStartCredit),
                static_cast<long long>(store.charged), found.empty() ? "ok" : "DISCREPANCIES");
    if (!found.empty()) std::printf("%s", found.c_str());
    return found.empty();
}

bool Load(const Options& options) {
    LoadRig rig(VEXA_SANDBOX_PATH);
    const std::unique_ptr<SandboxProcess> process = rig.Start();
    FileSizeWatch watch(rig.Dir() / "sandbox.db-wal");
    const auto start = std::chrono::steady_clock::now();
    const SendLoad::Outcome outcome = SendLoad(rig.Plan(*process, options.senders, options.sends)).Finish();
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    std::printf(
        "  load   %d senders x %d sends: %zu acknowledged in %.2f s (%.0f sends/s), %d failed; "
        "log at most %.2f MiB\n",
        options.senders, options.sends, outcome.acknowledged.size(), seconds,
        static_cast<double>(outcome.acknowledged.size()) / seconds, outcome.failures, MiB(watch.Largest()));
    process->Stop();
    if (process->ExitCode() != 0) return false;
    return outcome.failures == 0 && Audit(rig, "load", outcome.acknowledged, true);
}

bool Crash(const Options& options) {
    LoadRig rig(VEXA_SANDBOX_PATH);
    std::vector<Acknowledged> acknowledged;
    for (int round = 1; round <= options.crashes; ++round) {
        const std::unique_ptr<SandboxProcess> process = rig.Start();
        LoadPlan plan = rig.Plan(*process, options.senders, 1000000);
        plan.label = "crash " + std::to_string(round);
        SendLoad load(plan);
        if (!load.WaitForAcknowledged(options.killAfter)) throw std::runtime_error("the load stopped early");
        process->Kill();
        const SendLoad::Outcome outcome = load.Finish();
        acknowledged.insert(acknowledged.end(), outcome.acknowledged.begin(), outcome.acknowledged.end());
        std::printf("  crash  round %d: killed after %zu acknowledged sends\n", round,
                    outcome.acknowledged.size());
    }
    const std::unique_ptr<SandboxProcess> last = rig.Start();
    last->Stop();
    if (last->ExitCode() != 0) return false;
    return Audit(rig, "crash", acknowledged, false);
}

bool Log(const Options& options) {
    LoadRig rig(VEXA_SANDBOX_PATH);
    const std::unique_ptr<SandboxProcess> process = rig.Start();
    const std::filesystem::path wal = rig.Dir() / "sandbox.db-wal";
    FileSizeWatch watch(wal);
    const int each = options.logSends / options.senders;
    LoadPlan plan = rig.Plan(*process, options.senders, each);
    // The month's logs grow to every send: read at every fifth, they would take most of the time.
    plan.readEvery = 100;
    const SendLoad::Outcome outcome = SendLoad(plan).Finish();
    const uintmax_t largest = watch.Largest();
    std::printf(
        "  log    %zu sends, %d failed: the log at most %.2f MiB, at the end %.2f MiB; the database %.2f "
        "MiB\n",
        outcome.acknowledged.size(), outcome.failures, MiB(largest), MiB(std::filesystem::file_size(wal)),
        MiB(std::filesystem::file_size(rig.Dir() / "sandbox.db")));
    process->Stop();
    if (process->ExitCode() != 0) return false;
    return outcome.failures == 0 && Audit(rig, "log", outcome.acknowledged, true);
}

void Logins(const Options& options) {
    LoadRig rig(VEXA_SANDBOX_PATH);
    const std::unique_ptr<SandboxProcess> process = rig.Start();
    const TlsClient tls(process->Certificate());
    std::optional<WireConnection> connection;
    // The time of one refused login; the connection is (re)made outside it.
    auto refusal = [&](const std::string& user) {
        if (!connection || !connection->Connected()) connection.emplace(process->HttpsPort(), tls);
        const std::string request = WireRequest(
            "GET", "/users/" + user + "/status",
            {"Authorization: " + BasicAuthorization(user, "wrong"), "Auth-Realm: " + DefaultRealm()});
        const auto start = std::chrono::steady_clock::now();
        const std::optional<WireReply> reply = connection->Exchange(request);
        const double seconds = Seconds(std::chrono::steady_clock::now() - start);
        if (!reply || reply->status != 401) throw std::runtime_error("a login was not refused");
        if (reply->Header("connection") == "close") connection.reset();
        return seconds;
    };
    refusal("kim");
    refusal("nobody");  // one of each first, unmeasured
    std::vector<double> known, unknown;
    for (int i = 0; i < options.logins; ++i) {
        known.push_back(refusal("kim"));
        unknown.push_back(refusal("nobody"));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto mean = [](const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    };
    std::printf("  logins %d refusals each, in turns (median / mean):\n", options.logins);
    std::printf("         known user, wrong password  %7.2f ms / %7.2f ms\n", median(known) * 1e3,
                mean(known) * 1e3);
    std::printf("         unknown user                %7.2f ms / %7.2f ms\n", median(unknown) * 1e3,
                mean(unknown) * 1e3);
    const double ratio = median(unknown) / median(known);
    std::printf("         unknown/known %.2f (median), %.2f (mean): %s\n", ratio, mean(unknown) / mean(known),
                ratio >= 0.8 && ratio <= 1.2 ? "within 20 %" : "MISSED (target within 20 %)");
}

}  // namespace
}  // namespace vexa::sandbox::test

int main(int argc, char** argv) {
    using namespace vexa::sandbox::test;
    try {
        const Options options = Parse(argc, argv);
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        std::printf("vexa-sandbox's store through its HTTPS endpoint\n");
        bool ok = Load(options);
        ok = Crash(options) && ok;
        ok = Log(options) && ok;
        if (options.logins > 0) Logins(options);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexa_store_bench: %s\n", e.what());
        return 1;
    }
}
