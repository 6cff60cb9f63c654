// vexa: the command-line host of VexaComponent. Reads the command line, loads the module, runs
// one subcommand on a Message object (or SMS, for the legacy service) and prints its outcome as
// tables or as JSON.
#include <filesystem>
#include <iostream>
#include <iterator>
#include <variant>

#include "account.h"
#include "cli.h"
#include "commands.h"
#include "module_location.h"

namespace vexa_cli {

namespace {

struct Dispatch {
    const Session& session;
    CommandResult operator()(const StatusRequest& r) const { return RunStatus(session, r); }
    CommandResult operator()(const SendRequest& r) const { return RunSend(session, r); }
    CommandResult operator()(const LogsRequest& r) const { return RunLogs(session, r); }
    CommandResult operator()(const DetailRequest& r) const { return RunDetail(session, r); }
    CommandResult operator()(const ManageRequest& r) const { return RunManage(session, r); }
};

int Run(Invocation& invocation) {
    const CommonOptions& options = invocation.options;
    try {
        // Everything that can be wrong on the command line is found before the module is loaded.
        const Account account =
            ResolveAccount(options.user, options.password, StandardInputIsTerminal(), AskPasswordOnTerminal);
        if (auto* send = std::get_if<SendRequest>(&invocation.request); send && send->text == "-") {
            std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
            send->text = CheckMessageText(TextFromInput(std::move(input)));
        }

        const std::filesystem::path module =
            FindModule(options.module, CurrentExecutable(),
                       [](const auto& path) { return std::filesystem::exists(path); });
        Session session(module, options.legacy);
        session.SetEndpoint(options.endpoint, options.cacert);
        session.SetAccount(account.user, account.password);
        const CommandResult result = std::visit(Dispatch{session}, invocation.request);
        if (options.json)
            WriteJson(result.report, std::cout);
        else
            std::cout << RenderText(result.report);
        std::cout.flush();
        if (result.complete) return kExitOk;
        std::cerr << "vexa: the service did not do all that was asked (see the results)\n";
        return kExitPartial;
    } catch (const UsageError& e) {
        std::cerr << "vexa: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        // ComponentError among them: its text names the call, the component's message and the code.
        std::cerr << "vexa: " << e.what() << '\n';
        return kExitComponentError;
    }
}

}  // namespace

}  // namespace vexa_cli

int main(int argc, char** argv) {
    vexa_cli::ParseOutcome parsed =
        vexa_cli::ParseCommandLine(argc, argv, std::cout, std::cerr, vexa_cli::CurrentMonth());
    if (!parsed.invocation) return parsed.exitCode;
    return vexa_cli::Run(*parsed.invocation);
}
