// vexa-sandbox: serves the messaging service's REST API, and with --legacy-port its legacy TCP
// protocol, on loopback until SIGINT or SIGTERM; with --print-env, tells a shell where the one
// running on a data directory listens.
#include <csignal>
#include <exception>
#include <iostream>
#include <malloc.h>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>

#include "sandbox/options.h"
#include "sandbox/print_env.h"
#include "sandbox/sandbox.h"

using namespace vexa::sandbox;

namespace {

// Every connection is a descriptor: with the soft limit raised to the hard one, the connection
// caps bound them rather than a default of 1024 descriptors.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// glibc's malloc raises its mmap threshold after each large free, after which request bodies
// come from the heap and stay with the process (some 80 MB after eight 16 MB bodies). A fixed
// threshold keeps large blocks in their own mappings, which a free gives back at once.
constexpr size_t kMmapThreshold = 128 * 1024;

// Where the web inbox is, and whether a browser needs the token for it.
std::string InboxLine(const Endpoints& endpoints, bool needsToken, const std::string& bindAddress) {
    if (endpoints.inbox.empty()) {
        return "inbox: off on " + bindAddress + " (a non-loopback address): give --inbox-token to serve it\n";
    }
    if (!needsToken) return "inbox: " + endpoints.inbox + "\n";
    return "inbox: " + endpoints.inbox + " (needs the token: open " + endpoints.inbox +
           "?token=TOKEN once, or send Authorization: Bearer TOKEN)\n";
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (const int code = ParseCommandLine(argc, argv, line, std::cout, std::cerr); code >= 0) return code;
    const SandboxOptions& options = line.sandbox;
    if (line.printEnvWait) return PrintEnvironment(options.dataDir, *line.printEnvWait, std::cout, std::cerr);
    RaiseDescriptorLimit();
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);

    // The stop signals are taken below with sigwait; every thread started from here on inherits
    // the mask, so none of them is interrupted by one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::mutex logMutex;
    auto log = [&logMutex](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::cerr << line << std::endl;
    };
    try {
        Sandbox sandbox(options, SystemClock(), log);
        {
            std::lock_guard lock(logMutex);
            std::cout << "vexa-sandbox: data in " << sandbox.Directory().Path().string() << ", realm "
                      << options.realm << "\n";
            for (const auto& [user, change] : sandbox.AccountChanges()) {
                std::cout << "account " << user
                          << (change == Store::AccountChange::kCreated ? ": created" : ": password set")
                          << "\n";
            }
            for (const MovedPort& moved : sandbox.MovedPorts()) {
                std::cout << moved.listener << ": port " << moved.recorded
                          << " of the last start is taken by another process; listening on " << moved.now
                          << " instead\n";
            }
            std::cout << FormatEndpoints(sandbox.GetEndpoints(), sandbox.Certificate().certificate)
                      << InboxLine(sandbox.GetEndpoints(), sandbox.InboxNeedsToken(), options.bindAddress)
                      << "for vexa: eval \"$(vexa-sandbox --data-dir "
                      << ShellQuote(sandbox.Directory().Path()) << " --print-env)\"\n"
                      << std::flush;
        }
        int received = 0;
        sigwait(&stopSignals, &received);
        log(std::string("vexa-sandbox: ") + (received == SIGINT ? "SIGINT" : "SIGTERM") + ", stopping");
        sandbox.Stop();
    } catch (const std::exception& e) {
        std::cerr << "vexa-sandbox: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
