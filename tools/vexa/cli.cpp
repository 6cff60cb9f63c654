#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ctime>
#include <map>
#include <numeric>
#include <string_view>
#include <utility>
#include <vector>

#include "command_request.h"
#include "completion.h"
#include "profiles.h"

namespace vexa_cli {

namespace {

constexpr const char* kConnection = "Account and service";
constexpr const char* kMonthForms = "YYYY-MM, or YYYYMM as send prints it";

// Where CLI11 puts what it reads for one subcommand.
struct Bound {
    Command command = Command::Status;
    RawOptions raw;
    std::string legacy;
    // Whether --legacy was given is its option's count: an empty HOST:PORT given is a mistake, not
    // its absence.
    CLI::Option* legacyOption = nullptr;  // none: the command takes no --legacy
    CLI::Option* typeOption = nullptr;    // none: the command has no --type
};

// Every subcommand reads into a Bound of its own: CLI11 fills options from their environment
// variables in every subcommand, chosen or not, and would overwrite a shared one.
struct Bindings {
    std::map<const CLI::App*, Bound> commands;
    // --legacy may also stand before the command ("vexa --legacy HOST:PORT status"); given there,
    // it is the one taken.
    std::string leadingLegacy;
    CLI::Option* leadingLegacyOption = nullptr;
    bool leadingJson = false;  // --json before the command
    std::string leadingProfile;
    bool version = false;
};

void AddCommonOptions(CLI::App& command, Bound& bound) {
    CommonOptions& o = bound.raw.common;
    std::string& legacy = bound.legacy;
    // Each option falls back on its environment variable.
    const struct {
        const char* name;
        std::string& value;
        const char* variable;
        const char* typeName;
        const char* help;
    } kOptions[] = {
        {"--user,-u", o.user, "VEXA_USER", "USER", "User ID of the messaging account"},
        {"--password", o.password, "VEXA_PASSWORD", "PASSWORD",
         "Its password (asked for on a terminal when missing; other users can see arguments, so prefer the "
         "variable)"},
        {"--endpoint", o.endpoint, "VEXA_ENDPOINT", "URL",
         "Service endpoint http[s]://host[:port] (default: built in; not used with --legacy)"},
        {"--cacert", o.cacert, "VEXA_CACERT", "PEM",
         "Certificates to trust for the endpoint, besides the system's (not used with --legacy)"},
        {"--legacy", legacy, "VEXA_LEGACY", "HOST:PORT",
         "Use the legacy TCP service at HOST:PORT (the SMS object) instead of the REST one: SMS only, "
         "receivers without names"},
        {"--module", o.module, "VEXA_MODULE", "PATH",
         "VexaComponent32.so to load (default: the registered one, else the one beside vexa)"},
        {"--profile", o.profile, "VEXA_PROFILE", "NAME",
         "Settings kept by vexa config, for what neither an option nor a variable gives (default: the "
         "profile "
         "named default, when there is one)"},
    };
    for (const auto& option : kOptions) {
        CLI::Option* added = command.add_option(option.name, option.value, option.help)
                                 ->envname(option.variable)
                                 ->type_name(option.typeName)
                                 ->group(kConnection);
        if (&option.value == &legacy) bound.legacyOption = added;
    }
    command.add_flag("--json", o.json, "Print one JSON document instead of tables");
}

void AddTypeOption(CLI::App& command, Bound& bound, const char* choices, const char* help) {
    bound.typeOption = command.add_option("--type,-t", bound.raw.type, help)->type_name(choices);
}

// The commands, their options and help.
void DescribeCommands(CLI::App& app, Bindings& bindings) {
    app.name("vexa");
    app.description(
        "Send text and picture messages and read the transfer logs of a messaging account through "
        "VexaComponent.");
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done; 1 the component or the service refused (what to do, then its message and code, "
        "on standard error); 2 a mistake on the command line; 3 done, but some receivers or entries were "
        "not.\n"
        "Time-outs are the component's own and fixed: 5 seconds to connect, 20 seconds without progress "
        "while "
        "sending a request, 180 seconds without progress while waiting for or reading a reply.");
    bindings.leadingLegacyOption =
        app.add_option("--legacy", bindings.leadingLegacy,
                       "Use the legacy TCP service at HOST:PORT (see each command)")
            ->type_name("HOST:PORT");
    // Taken alone before parsing (ParseCommandLine); listed here for the help.
    app.add_flag("--version", bindings.version,
                 "Print the versions of vexa and of the module it uses, and where that lies");
    app.add_option("--profile", bindings.leadingProfile, "Use this profile of settings (see each command)")
        ->type_name("NAME");
    app.add_flag("--json", bindings.leadingJson,
                 "Print one JSON document instead of tables (see each command)");

    auto addCommand = [&](Command which, const char* name,
                          const char* description) -> std::pair<CLI::App*, Bound&> {
        CLI::App* command = app.add_subcommand(name, description);
        Bound& bound = bindings.commands[command];
        bound.command = which;
        AddCommonOptions(*command, bound);
        return {command, bound};
    };
    const char* allTypes = "sms|lms|mms|all";
    const char* allTypesHelp = "Message type (default: all)";

    addCommand(Command::Status, "status", "Show the account: user, name, return phones, credit");

    auto [send, s] =
        addCommand(Command::Send, "send", "Send an SMS, LMS or MMS to one or more phones, now or reserved");
    send->add_option("--to", s.raw.to, "Receiver, PHONE or NAME:PHONE; repeat for more receivers")
        ->type_name("[NAME:]PHONE")
        ->allow_extra_args(false);
    send->add_option(
            "--to-file", s.raw.toFile,
            "Receivers from a CSV file, one per line: PHONE[,NAME[,TEXT]] (a TEXT of its own replaces "
            "--text for that receiver); with or without --to")
        ->type_name("FILE");
    send->add_option("--text", s.raw.text,
                     "The message (the receivers' common text); - reads it from standard input")
        ->required();
    send->add_option("--subject", s.raw.subject,
                     "Subject of a long or multimedia message (implies --type lms without --image)");
    send->add_option("--image", s.raw.images,
                     "Picture to send, converted to JPEG (PNG, JPEG, GIF, BMP, ICO or TIFF); repeat for more "
                     "pictures, sent in order; implies --type mms")
        ->type_name("FILE")
        ->allow_extra_args(false);
    AddTypeOption(*send, s, "sms|lms|mms",
                  "Message type (default: mms with --image, else lms with --subject, else sms)");
    send->add_option("--from", s.raw.from,
                     "Return phone shown to the receivers (default: the service decides)")
        ->type_name("PHONE");
    send->add_option("--at", s.raw.at, "Reserve for this local time instead of sending now")
        ->type_name("\"YYYY-MM-DD HH:MM\"");
    send->add_flag("--strict", s.raw.strict,
                   "Refuse to send what would draw a warning (characters sent as '?', a text too long for an "
                   "SMS, a past reservation time, an MMS without a picture, a receiver given twice)");
    send->add_flag("--quiet,-q", s.raw.quiet, "Print no warnings");

    auto [logs, l] = addCommand(Command::Logs, "logs", "List the transfers of a month");
    logs->add_option("month", l.raw.month,
                     std::string("Month to list (default: the current month); ") + kMonthForms)
        ->type_name("YYYY-MM");
    logs->add_option("--days", l.raw.days, "Only these days of the month, A-B or a single day")
        ->type_name("A-B");
    logs->add_flag("--reserved", l.raw.reserved, "Only reserved transfers");
    AddTypeOption(*logs, l, allTypes, allTypesHelp);

    auto [detail, d] = addCommand(Command::Detail, "detail", "Show one transfer with its receivers");
    detail->add_option("month", d.raw.month, std::string("Month of the transfer; ") + kMonthForms)
        ->required()
        ->type_name("YYYY-MM");
    detail->add_option("index", d.raw.index, "Index of the transfer within its month")
        ->required()
        ->type_name("INDEX");
    AddTypeOption(*detail, d, allTypes, allTypesHelp);

    const struct {
        Command which;
        const char* name;
        const char* description;
    } kManageCommands[] = {
        {Command::Cancel, "cancel", "Cancel reserved transfers that have not gone out yet"},
        {Command::Delete, "delete", "Delete transfers from the log"},
    };
    for (const auto& manage : kManageCommands) {
        auto [command, bound] = addCommand(manage.which, manage.name, manage.description);
        command->add_option("month", bound.raw.month, std::string("Month of the transfers; ") + kMonthForms)
            ->required()
            ->type_name("YYYY-MM");
        command->add_option("index", bound.raw.indexes, "Indexes of the transfers within that month")
            ->required()
            ->type_name("INDEX...");
        AddTypeOption(*command, bound, allTypes, allTypesHelp);
    }

    // Registration and the component's whereabouts take no account: only the module and the form
    // of the output.
    auto addModuleCommand = [&](Command which, const char* name, const char* description,
                                const char* moduleHelp) {
        CLI::App* command = app.add_subcommand(name, description);
        Bound& bound = bindings.commands[command];
        bound.command = which;
        command->add_option("--module", bound.raw.common.module, moduleHelp)
            ->envname("VEXA_MODULE")
            ->type_name("PATH");
        command->add_flag("--json", bound.raw.common.json, "Print one JSON document instead of tables");
    };
    addModuleCommand(Command::Register, "register",
                     "Register the component for hosts to activate by ProgID: for this user, or machine wide "
                     "when run as root",
                     "VexaComponent32.so to register (default: the one beside vexa)");
    addModuleCommand(Command::Unregister, "unregister",
                     "Remove the component's registration: this user's, or the machine's when run as root",
                     "VexaComponent32.so that removes it (default: the one beside vexa)");
    CLI::App* config = app.add_subcommand(
        "config", "Show or change a profile: settings kept in $XDG_CONFIG_HOME/vexa/config.toml");
    Bound& c = bindings.commands[config];
    c.command = Command::Config;
    config->add_option("action", c.raw.configAction, "show (the default), set or unset")
        ->type_name("show|set|unset");
    config->add_option("key", c.raw.configKey,
                       "endpoint, user, cacert, legacy, module or password_file (a file of mode 0600)");
    config->add_option("value", c.raw.configValue, "The value to set");
    config->add_option("--profile", c.raw.common.profile, "The profile (default: default)")
        ->envname("VEXA_PROFILE")
        ->type_name("NAME");
    config->add_flag("--json", c.raw.common.json, "Print one JSON document instead of tables");
    addModuleCommand(Command::Component, "component", "Show which VexaComponent32.so vexa uses, and why",
                     "VexaComponent32.so to use (default: the registered one, else the one beside vexa)");
}

// One example per command, under its help.
void AddExamples(CLI::App& app) {
    const struct {
        const char* command;
        const char* footer;
    } kExamples[] = {
        {"status", "Example: vexa status --user kim"},
        {"send",
         "Example: vexa send --to Kim:010-1234-5678 --to 010-2222-3333 --text \"See you at ten\"\n"
         "Before sending it warns about characters sent as '?', a text too long for an SMS, a past "
         "--at, an MMS without --image and receivers given twice; it ends with \"N accepted, M refused, "
         "credit C left\"."},
        {"logs",
         "Example: vexa logs 2026-12 --days 1-9 --type sms\n"
         "State of a transfer: reserved, cancelled, pending, delivered, partly delivered or failed; counts "
         "of delivered, pending and failed receivers (JSON adds reserved and cancelled)."},
        {"detail",
         "Example: vexa detail 2026-12 17\n"
         "State of a receiver (also in JSON): delivered, pending (handed over, waiting for its report), "
         "reserved, cancelled, no such number, failed. JSON keeps the component's codes as "
         "componentStatus and componentResult."},
        {"cancel", "Example: vexa cancel 2026-12 17 18"},
        {"delete", "Example: vexa delete 2026-12 17"},
        {"register", "Example: vexa register --module /opt/vexa/lib/vexa/VexaComponent32.so"},
        {"unregister", "Example: vexa unregister"},
        {"component", "Example: vexa component --json"},
        {"config",
         "Example: vexa config set endpoint https://127.0.0.1:8443 --profile sandbox\n"
         "Options given and VEXA_* variables win over the profile; a password is never kept, only "
         "the name of a file that holds it."},
    };
    for (const auto& example : kExamples) app.get_subcommand(example.command)->footer(example.footer);
}

// How many single-character insertions, deletions and substitutions turn a into b.
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The command word (the first argument that is not an option or the value of one before the
// command, such as --legacy's or --profile's) when it names no command: CLI11 would only say that
// a command is required. Empty when there is none or it is known.
std::string UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const CLI::Option* option =
            arg.starts_with("--") ? app.get_option_no_throw(std::string(arg)) : nullptr;
        if (option && option->get_items_expected_min() > 0) {
            ++i;
            continue;
        }
        if (arg.starts_with("-")) continue;
        for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
            if (command->get_name() == arg) return {};
        return std::string(arg);
    }
    return {};
}

// "unknown command 'sned'; did you mean 'send'?" when one command is close enough to be meant.
std::string UnknownCommandMessage(const CLI::App& app, const std::string& word) {
    std::string message = "unknown command '" + word + "'";
    const CLI::App* nearest = nullptr;
    size_t best = 3;  // more than two edits away is another word, not a slip
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        const size_t distance = EditDistance(word, command->get_name());
        if (distance < best) {
            best = distance;
            nearest = command;
        }
    }
    if (nearest) message += "; did you mean '" + nearest->get_name() + "'?";
    return message;
}

// The chosen command's options as they were typed, --legacy from wherever it stood.
RawOptions ChosenOptions(const CLI::App& chosen, const Bindings& bindings) {
    const Bound& bound = bindings.commands.at(&chosen);
    const bool leading = bindings.leadingLegacyOption->count() > 0;
    if (leading && !bound.legacyOption) throw UsageError("--legacy does not go with " + chosen.get_name());
    RawOptions raw = bound.raw;
    if (leading)
        raw.legacy = bindings.leadingLegacy;
    else if (bound.legacyOption && bound.legacyOption->count() > 0)
        raw.legacy = bound.legacy;
    raw.typeGiven = bound.typeOption && bound.typeOption->count() > 0;
    raw.common.json = raw.common.json || bindings.leadingJson;
    if (!bindings.leadingProfile.empty()) raw.common.profile = bindings.leadingProfile;
    // Only the commands on the service take their settings from a profile.
    if (OnService(bound.command)) ApplyProfile(raw, raw.common.profile, ProfileFilePath());
    return raw;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                              YearMonth currentMonth) {
    CLI::App app;
    Bindings bindings;
    DescribeCommands(app, bindings);
    AddExamples(app);
    AddCompletionCommand(app, out);
    const CLI::App* chosen = nullptr;
    // Alone on the line, as tools take it; CLI11 would ask for a command.
    if (argc == 2 && std::string_view(argv[1]) == "--version") return {std::nullopt, kExitOk, true};
    if (const std::string word = UnknownCommand(app, argc, argv); !word.empty()) {
        err << "vexa: " << UnknownCommandMessage(app, word) << "\nRun with --help for the commands.\n";
        return {std::nullopt, kExitUsage};
    }
    try {
        app.parse(argc, argv);
        chosen = app.get_subcommands().front();
        const Command command = bindings.commands.at(chosen).command;
        return {MakeInvocation(command, ChosenOptions(*chosen, bindings), currentMonth), kExitOk};
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return {std::nullopt, code == 0 ? kExitOk : kExitUsage};
    } catch (const UsageError& e) {
        err << "vexa " << chosen->get_name() << ": " << e.what()
            << "\nRun with --help for more information.\n";
        return {std::nullopt, kExitUsage};
    }
}

YearMonth CurrentMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1};
}

}  // namespace vexa_cli
