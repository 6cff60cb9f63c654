// vexa: the command-line host of VexaComponent. Reads the command line, loads the module, runs
// one subcommand on a Message object (or SMS, for the legacy service), or on the module itself
// (registration), and prints its outcome as tables or as JSON.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <type_traits>
#include <unistd.h>
#include <variant>

#include "account.h"
#include "cli.h"
#include "commands.h"
#include "component_commands.h"
#include "config_command.h"
#include "failure.h"
#include "module_location.h"
#include "profiles.h"
#include "send_warnings.h"
#include "terminal_style.h"

namespace vexa_cli {

namespace {

bool Exists(const std::filesystem::path& path) { return std::filesystem::exists(path); }

ComponentLocation Locate(const CommonOptions& options) {
    return LocateComponent(options.module, options.legacy ? kSmsProgId : kMessageProgId, CurrentExecutable(),
                           RegistryModule, Exists);
}

CommandResult RunOnSession(const Session& session, const StatusRequest& r) { return RunStatus(session, r); }
CommandResult RunOnSession(const Session& session, const SendRequest& r) { return RunSend(session, r); }
CommandResult RunOnSession(const Session& session, const LogsRequest& r) { return RunLogs(session, r); }
CommandResult RunOnSession(const Session& session, const DetailRequest& r) { return RunDetail(session, r); }
CommandResult RunOnSession(const Session& session, const ManageRequest& r) { return RunManage(session, r); }

// What the send would change or lose: printed before anything is sent, or refused with --strict.
void WarnBeforeSending(const SendRequest& request) {
    const std::vector<std::string> warnings = SendWarnings(request, NowDate());
    if (request.strict && !warnings.empty()) {
        std::string all;
        for (const std::string& warning : warnings) all += (all.empty() ? "" : "; ") + warning;
        throw UsageError("--strict refuses to send: " + all);
    }
    if (request.quiet) return;
    const bool styled = StyleFor(STDERR_FILENO);
    for (const std::string& warning : warnings)
        std::cerr << "vexa: " << Styled("warning:", Tone::Warning, styled) << ' ' << warning << '\n';
}

// The commands on the service: a front object with the account.
template <class Request>
CommandResult RunOnService(const CommonOptions& options, Request& request) {
    // Everything that can be wrong on the command line is found before the module is loaded.
    const Account account =
        ResolveAccount(options.user, options.password, StandardInputIsTerminal(), AskPasswordOnTerminal);
    if constexpr (std::is_same_v<Request, SendRequest>) {
        if (request.text == "-") {
            std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
            request.text = CheckMessageText(TextFromInput(std::move(input)));
        }
        WarnBeforeSending(request);
    }
    Session session(Locate(options), options.legacy);
    session.SetEndpoint(options.endpoint, options.cacert);
    session.SetAccount(account.user, account.password);
    return RunOnSession(session, request);
}

CommandResult Execute(Invocation& invocation) {
    const CommonOptions& options = invocation.options;
    return std::visit(
        [&]<class Request>(Request& request) {
            if constexpr (std::is_same_v<Request, RegistrationRequest>) {
                // Registers the module at hand, never the one registered already.
                return RunRegistration(FindModule(options.module, CurrentExecutable(), Exists),
                                       request.action, RegistryModule);
            } else if constexpr (std::is_same_v<Request, ComponentRequest>) {
                return RunComponent(Locate(options));
            } else if constexpr (std::is_same_v<Request, ConfigRequest>) {
                return RunConfig(request, ProfileFilePath());
            } else {
                return RunOnService(options, request);
            }
        },
        invocation.request);
}

FailureContext ContextOf(const CommonOptions& options) {
    return {options.endpoint.empty() ? VEXA_BUILTIN_ENDPOINT : options.endpoint, options.cacert, options.user,
            options.legacy};
}

// The failure on standard error and, for --json, as a document on standard output too.
int Fail(const Invocation& invocation, const Failure& failure, int exitCode) {
    std::cout.flush();
    PrintFailure(failure, std::cerr, StyleFor(STDERR_FILENO));
    if (invocation.options.json) WriteJsonFailure(failure, std::cout);
    return exitCode;
}

int Run(Invocation& invocation) {
    try {
        const CommandResult result = Execute(invocation);
        if (invocation.options.json)
            WriteJson(result.report, std::cout);
        else
            std::cout << RenderText(result.report, StyleFor(STDOUT_FILENO));
        std::cout.flush();
        if (result.complete) return kExitOk;
        std::cerr << "vexa: the service did not do all that was asked (see the results)\n";
        return kExitPartial;
    } catch (const UsageError& e) {
        return Fail(invocation, DescribeFailure(e), kExitUsage);
    } catch (const ComponentError& e) {
        const CommonOptions& options = invocation.options;
        const FailureContext context = ContextOf(options);
        const auto probe = [&] {
            return options.legacy ? ProbeTcp(options.legacy->host, options.legacy->port)
                                  : ProbeEndpoint(context.endpoint, options.cacert);
        };
        return Fail(invocation, DescribeComponentFailure(e, context, probe), kExitComponentError);
    } catch (const std::exception& e) {
        return Fail(invocation, DescribeFailure(e), kExitComponentError);
    }
}

}  // namespace

// vexa's own version, then the module it would use (VEXA_MODULE, else the registered one, else
// the one beside it) with the version its Message object reports.
int PrintVersion(std::ostream& out) {
    out << "vexa " << VEXA_PRODUCT_VERSION << '\n';
    const char* given = std::getenv("VEXA_MODULE");
    try {
        CommonOptions options;
        options.module = given ? given : "";
        const ComponentLocation location = Locate(options);
        const Session session(location);
        const auto message = Query<IMessage>(session, session.Front().Object(), IID_IMessage, "IMessage");
        out << "module " << location.module.string() << " (" << ModuleSourceWord(location.source)
            << "), Message " << Get(session, message.Get(), &IMessage::get_VersionMajor, "VersionMajor")
            << '.' << Get(session, message.Get(), &IMessage::get_VersionMinor, "VersionMinor") << '\n';
    } catch (const std::exception& e) {
        out << "module: none usable (" << e.what() << ")\n";
    }
    return kExitOk;
}

}  // namespace vexa_cli

int main(int argc, char** argv) {
    vexa_cli::ParseOutcome parsed =
        vexa_cli::ParseCommandLine(argc, argv, std::cout, std::cerr, vexa_cli::CurrentMonth());
    if (parsed.showVersion) return vexa_cli::PrintVersion(std::cout);
    if (!parsed.invocation) return parsed.exitCode;
    return vexa_cli::Run(*parsed.invocation);
}
