#include "sandbox/options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "sandbox/inbox_access.h"
#include "sandbox/private_file.h"

#ifndef VEXA_VERSION
#error "VEXA_VERSION comes from the build"
#endif

namespace vexa::sandbox {

namespace {

// Longer than anyone waits for a start, short enough to stay a count of milliseconds.
constexpr double kMaxWaitSeconds = 24 * 60 * 60;

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::ostream& out,
                     std::ostream& err) {
    SandboxOptions& options = line.sandbox;
    CLI::App app{
        "A local stand-in of the messaging service: its REST API and, optionally, its legacy TCP "
        "protocol, kept in SQLite.",
        "vexa-sandbox"};
    app.set_version_flag("--version", std::string("vexa-sandbox ") + VEXA_VERSION);
    std::string dataDir;
    AccountOptions accounts;
    double waitSeconds = std::chrono::duration<double>(kDefaultPrintEnvWait).count();
    app.add_option("--data-dir", dataDir, "Directory of the store, the certificate and the endpoints file")
        ->required();
    app.add_option("--bind", options.bindAddress, "Address to listen on")->capture_default_str();
    app.add_option("--http-port", options.httpPort,
                   "Port of plain HTTP (0: the one of the last start on the data directory when it is free, "
                   "else a free one)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--https-port", options.httpsPort, "Port of HTTPS (0: as for --http-port)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--realm", options.realm, "Realm that requests must name in Auth-Realm")
        ->check([](const std::string& realm) { return realm.empty() ? "the realm must not be empty" : ""; })
        ->capture_default_str();
    accounts.AddTo(app);
    app.add_option("--delivery-delay", options.deliveryDelay,
                   "Seconds a receiver waits for its delivery report after it is handed over")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    bool noKeepAlive = false;
    app.add_flag("--no-keep-alive", noKeepAlive,
                 "Close every HTTP and HTTPS connection after its first reply (\"Connection: close\"); by "
                 "default a client may keep it for further requests");
    app.add_option("--max-connections", options.connectionLimits.overall,
                   "Connections held at once over HTTP, HTTPS and the legacy protocol together; one more is "
                   "closed at once")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    app.add_option("--max-connections-per-address", options.connectionLimits.perAddress,
                   "Connections held at once from one client address")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    CLI::Option* legacyPort =
        app.add_option(
               "--legacy-port", options.legacyPort,
               "Port of the legacy TCP protocol on the same address (0: as for --http-port); without it, "
               "no legacy listener")
            ->check(CLI::Range(0, 65535));
    app.add_flag("--legacy-substitute", options.legacySubstitute,
                 "Send every legacy reply in the byte-substituted [PV1090] form")
        ->needs(legacyPort);
    std::string inboxTokenFile;
    CLI::Option* inboxToken =
        app.add_option("--inbox-token", options.inboxToken,
                       "Token the web inbox asks of every request (at least 16 letters, digits or -._~); "
                       "without it the inbox is served only on a loopback address. Other users of this "
                       "machine can read it here (ps): prefer --inbox-token-file");
    app.add_option("--inbox-token-file", inboxTokenFile,
                   "File whose first line is the inbox token; refused unless a regular file that only its "
                   "owner may read and write")
        ->excludes(inboxToken);
    bool printEnv = false;
    CLI::Option* printEnvFlag =
        app.add_flag("--print-env", printEnv,
                     "Start no sandbox: print export lines for vexa (VEXA_ENDPOINT, VEXA_CACERT, "
                     "VEXA_SANDBOX_LEGACY, VEXA_USER) of the one running on the data directory");
    app.add_option("--wait", waitSeconds, "Seconds --print-env waits for that sandbox to be up")
        ->check(CLI::Range(0.0, kMaxWaitSeconds))
        ->capture_default_str()
        ->needs(printEnvFlag);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and the version are a success; every usage error exits 2, as vexa's do, whatever
        // CLI11 numbers it.
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }
    options.dataDir = dataDir;
    options.keepAlive = !noKeepAlive;
    std::optional<std::vector<AccountSetup>> resolved =
        accounts.Resolve(std::cin, std::getenv(kPasswordVariable), err);
    if (!resolved) return 2;
    options.accounts = std::move(*resolved);
    if (!inboxTokenFile.empty()) {
        std::string error;
        const std::optional<std::string> text = ReadOwnerOnlyText(inboxTokenFile, "token is", error);
        if (!text) {
            err << "--inbox-token-file " << error << "\n";
            return 2;
        }
        options.inboxToken = text->substr(0, text->find_first_of("\r\n"));
    }
    if (!options.inboxToken.empty() || !inboxTokenFile.empty()) {
        if (const std::string problem = TokenProblem(options.inboxToken); !problem.empty()) {
            err << (inboxTokenFile.empty() ? "--inbox-token: " : "--inbox-token-file: ") << problem << "\n";
            return 2;
        }
    }
    line.printEnvWait.reset();
    if (printEnv) line.printEnvWait = std::chrono::milliseconds(std::llround(waitSeconds * 1000));
    return -1;
}

}  // namespace vexa::sandbox
