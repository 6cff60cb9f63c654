// vexa-sandbox, in a process of its own, under clients that hold its connections without finishing
// a request: how long a normal status request (HTTP and HTTPS) and a legacy login take meanwhile;
// whether a client that closed its sending side gets its reply; how long a stop takes with an idle
// kept connection; and the process's memory around large request bodies. Every wait is capped, so
// a sandbox that does not answer costs the cap, not minutes.
//   vexa_hostile_clients_bench --sandbox build/bench/sandbox/vexa-sandbox [--cap-seconds 10]
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "hostile_clients.h"
#include "sandbox_process.h"
#include "scratch_directory.h"

namespace {

using namespace vexa::test;
using std::chrono::milliseconds;

milliseconds gCap{10000};
std::string gSandbox;

Login TheLogin() {
    Login login;
    login.realm = VEXA_AUTH_REALM;
    return login;
}

std::string Show(const std::optional<milliseconds>& latency) {
    if (!latency) return "no answer within " + std::to_string(gCap.count() / 1000) + " s";
    return std::to_string(latency->count()) + " ms";
}

struct Load {
    const char* name;
    // Opens the hostile connections on a started sandbox; empty for none.
    std::function<std::vector<std::unique_ptr<HostileClients>>(const SandboxProcess&)> open;
    milliseconds settle{300};
};

std::vector<std::unique_ptr<HostileClients>> Split(Hostility hostility, const SandboxProcess& sandbox,
                                                   size_t count) {
    std::vector<std::unique_ptr<HostileClients>> clients;
    clients.push_back(std::make_unique<HostileClients>(hostility, sandbox.HttpPort(), count / 2));
    clients.push_back(std::make_unique<HostileClients>(hostility, sandbox.HttpsPort(), count - count / 2));
    return clients;
}

std::vector<std::unique_ptr<HostileClients>> On(Hostility hostility, int port, size_t count) {
    std::vector<std::unique_ptr<HostileClients>> clients;
    clients.push_back(std::make_unique<HostileClients>(hostility, port, count));
    return clients;
}

void Latencies() {
    const Load loads[] = {
        {"none", {}},
        {"200 idle connections (100 HTTP, 100 HTTPS)",
         [](const SandboxProcess& s) { return Split(Hostility::kIdle, s, 200); }},
        {"200 half-sent requests (100 HTTP, 100 HTTPS)",
         [](const SandboxProcess& s) { return Split(Hostility::kHalfSentRequest, s, 200); }},
        {"200 stalled TLS handshakes",
         [](const SandboxProcess& s) { return On(Hostility::kStalledHandshake, s.HttpsPort(), 200); }},
        {"20 slow-drip clients (HTTP, a byte every 3 s)",
         [](const SandboxProcess& s) { return On(Hostility::kSlowDrip, s.HttpPort(), 20); },
         milliseconds(3500)},
        {"200 silent legacy connections",
         [](const SandboxProcess& s) { return On(Hostility::kSilentLegacy, s.LegacyPort(), 200); }},
    };
    std::printf(
        "| hostile load | held | HTTP status | HTTPS status | legacy login |\n|---|---|---|---|---|\n");
    for (const Load& load : loads) {
        ScratchDirectory dir;
        SandboxProcess sandbox(gSandbox, dir.Path());
        std::vector<std::unique_ptr<HostileClients>> hostile;
        if (load.open) hostile = load.open(sandbox);
        std::this_thread::sleep_for(load.settle);
        size_t held = 0;
        for (const auto& clients : hostile) held += clients->Connected() - clients->ClosedByServer();
        const Login login = TheLogin();
        const auto http = TimedStatus(sandbox.HttpPort(), login, std::nullopt, gCap);
        const auto https = TimedStatus(sandbox.HttpsPort(), login, sandbox.Certificate(), gCap);
        const auto legacy = TimedLegacyLogin(sandbox.LegacyPort(), login, gCap);
        std::printf("| %s | %zu | %s | %s | %s |\n", load.name, held, Show(http).c_str(), Show(https).c_str(),
                    Show(legacy).c_str());
        std::fflush(stdout);
    }
}

void HalfCloseAndStop() {
    ScratchDirectory dir;
    SandboxProcess sandbox(gSandbox, dir.Path());
    const Login login = TheLogin();
    const std::string send = HttpRequest("POST", "/messages/kim", login, MmsDocumentOfSize(1000), false);
    const int status = StatusAfterHalfClose(sandbox.HttpPort(), send, gCap);
    std::printf("\nA send, then shutdown(SHUT_WR): %s\n",
                status == 0 ? ("no reply within " + std::to_string(gCap.count() / 1000) + " s").c_str()
                            : ("reply " + std::to_string(status)).c_str());

    // An idle kept connection: the reply is left unread, the connection open.
    vexa::UniqueFd kept = ConnectFrom("127.0.0.1", sandbox.HttpPort());
    const std::string status_request = HttpRequest("GET", "/users/kim/status", login, "", false);
    ::send(kept.Get(), status_request.data(), status_request.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(milliseconds(300));
    std::printf("A stop with an idle kept connection: %lld ms\n",
                static_cast<long long>(sandbox.Stop().count()));
}

// Posts `count` MMS sends of `bytes` each at once over plain HTTP.
void SendAtOnce(const SandboxProcess& sandbox, size_t count, size_t bytes) {
    const std::string request = HttpRequest("POST", "/messages/kim", TheLogin(), MmsDocumentOfSize(bytes));
    std::vector<std::jthread> senders;
    for (size_t i = 0; i < count; ++i) {
        senders.emplace_back([&] {
            const int status = Exchange(sandbox.HttpPort(), request, milliseconds(60000));
            if (status != 200) std::printf("(a send of %zu bytes got %d)\n", bytes, status);
        });
    }
}

void Memory() {
    constexpr size_t kMiB = 1024 * 1024;
    std::printf(
        "\n| bodies | resident at start | peak (VmHWM) | resident 2 s after | 10 s after |\n"
        "|---|---|---|---|---|\n");
    const struct {
        const char* name;
        size_t count;
        size_t bytes;
    } cases[] = {{"one of 8 MB", 1, 8'000'000}, {"8 at once of 16 MB", 8, 16 * kMiB - 4096}};
    for (const auto& c : cases) {
        ScratchDirectory dir;
        SandboxProcess sandbox(gSandbox, dir.Path());
        const size_t start = sandbox.ResidentKiB();
        SendAtOnce(sandbox, c.count, c.bytes);
        const size_t peak = sandbox.PeakResidentKiB();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const size_t after = sandbox.ResidentKiB();
        std::this_thread::sleep_for(std::chrono::seconds(8));
        const size_t later = sandbox.ResidentKiB();
        std::printf("| %s | %zu MB | %zu MB | %zu MB | %zu MB |\n", c.name, start / 1024, peak / 1024,
                    after / 1024, later / 1024);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--sandbox") == 0) gSandbox = argv[i + 1];
        if (std::strcmp(argv[i], "--cap-seconds") == 0) gCap = milliseconds(std::stoi(argv[i + 1]) * 1000);
    }
    if (gSandbox.empty()) {
        std::fprintf(stderr, "usage: %s --sandbox PATH-OF-vexa-sandbox [--cap-seconds N]\n", argv[0]);
        return 2;
    }
    Latencies();
    HalfCloseAndStop();
    Memory();
    return 0;
}
