#include "cli.h"

#include <CLI/CLI.hpp>
#include <ctime>
#include <map>
#include <utility>

namespace vexa_cli {

namespace {

constexpr const char* kConnection = "Account and service";

// Returns the --legacy option: an empty HOST:PORT given on the command line is a mistake, not its
// absence.
CLI::Option* AddCommonOptions(CLI::App& command, CommonOptions& o, std::string& legacy) {
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
    };
    CLI::Option* legacyOption = nullptr;
    for (const auto& option : kOptions) {
        CLI::Option* added = command.add_option(option.name, option.value, option.help)
                                 ->envname(option.variable)
                                 ->type_name(option.typeName)
                                 ->group(kConnection);
        if (&option.value == &legacy) legacyOption = added;
    }
    command.add_flag("--json", o.json, "Print one JSON document instead of tables");
    return legacyOption;
}

CLI::Option* AddTypeOption(CLI::App& command, std::string& type, const char* choices, const char* help) {
    return command.add_option("--type,-t", type, help)->type_name(choices);
}

// Raw text of every subcommand's options, checked after CLI11 has read them.
struct Raw {
    std::vector<std::string> to, images;
    std::string text, subject, type = "all", from, at;
    std::string month, days, index;
    std::vector<std::string> indexes;
    bool reserved = false;
    std::string legacy;
};

struct Options {
    CommonOptions common;
    Raw raw;
    CLI::Option* legacy = nullptr;
};

// The legacy service sends and keeps text messages (SMS) without receiver names; what it cannot
// carry is refused before the options are read further, so the message names --legacy.
void CheckForLegacy(const Raw& raw) {
    const std::string why = " does not go with --legacy (the legacy service sends and keeps SMS only)";
    if (!raw.subject.empty()) throw UsageError("--subject" + why);
    if (!raw.images.empty()) throw UsageError("--image" + why);
    const VEXA_MESSAGE_TYPE type = ParseMessageType(raw.type);
    if (type == VEXA_MESSAGE_TYPE_LMS || type == VEXA_MESSAGE_TYPE_MMS)
        throw UsageError("--type " + std::string(MessageTypeName(type)) + why);
    for (const std::string& to : raw.to)
        if (!ParseReceiver(to).name.empty())
            throw UsageError("the legacy service takes no receiver names: give --to PHONE, not '" + to + "'");
}

SendRequest MakeSend(const Raw& raw, bool typeGiven) {
    SendRequest r;
    for (const std::string& to : raw.to) r.receivers.push_back(ParseReceiver(to));
    // Standard input is read when the command runs, after any password prompt.
    r.text = raw.text == "-" ? raw.text : CheckMessageText(raw.text);
    CheckUtf8(raw.subject, "the subject");
    r.subject = raw.subject;
    // The component takes file names as UTF-16, made from UTF-8.
    for (size_t i = 0; i < raw.images.size(); ++i) {
        const std::string what = "the file name of picture " + std::to_string(i + 1);
        if (raw.images[i].empty()) throw UsageError(what + " is empty");
        CheckUtf8(raw.images[i], what);
    }
    r.images = raw.images;
    // Pictures only travel in a multimedia message, a subject in a long or a multimedia one.
    r.type = typeGiven             ? ParseMessageType(raw.type)
             : !r.images.empty()   ? VEXA_MESSAGE_TYPE_MMS
             : raw.subject.empty() ? VEXA_MESSAGE_TYPE_SMS
                                   : VEXA_MESSAGE_TYPE_LMS;
    if (r.type == VEXA_MESSAGE_TYPE_ALL) throw UsageError("send takes --type sms, lms or mms");
    if (r.type != VEXA_MESSAGE_TYPE_MMS && !r.images.empty())
        throw UsageError("only an MMS carries pictures: use --type mms with --image");
    if (r.type == VEXA_MESSAGE_TYPE_SMS && !r.subject.empty())
        throw UsageError("an SMS has no subject: use --type lms or mms");
    if (!raw.from.empty()) r.returnPhone = ParsePhone(raw.from);
    if (!raw.at.empty()) r.reservation = ParseReservationTime(raw.at);
    return r;
}

LogsRequest MakeLogs(const Raw& raw, YearMonth currentMonth) {
    LogsRequest r;
    r.month = raw.month.empty() ? currentMonth : ParseMonth(raw.month);
    if (!raw.days.empty()) r.days = ParseDayRange(raw.days, r.month);
    r.reservedOnly = raw.reserved;
    r.type = ParseMessageType(raw.type);
    return r;
}

DetailRequest MakeDetail(const Raw& raw) {
    return {ParseMonth(raw.month), ParseLogIndex(raw.index), ParseMessageType(raw.type)};
}

ManageRequest MakeManage(const Raw& raw, ManageRequest::Action action) {
    ManageRequest r;
    r.action = action;
    r.month = ParseMonth(raw.month);
    for (const std::string& index : raw.indexes) r.indexes.push_back(ParseLogIndex(index));
    r.type = ParseMessageType(raw.type);
    return r;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                              YearMonth currentMonth) {
    CLI::App app(
        "Send text and picture messages and read the transfer logs of a messaging account through "
        "VexaComponent.",
        "vexa");
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done; 1 the component or the service refused (its message and code on standard "
        "error); 2 a mistake on the command line; 3 done, but some receivers or entries were not.");

    // --legacy may also stand before the command ("vexa --legacy HOST:PORT status"); given there, it
    // is the one taken.
    std::string leadingLegacy;
    CLI::Option* leadingLegacyOption =
        app.add_option("--legacy", leadingLegacy,
                       "Use the legacy TCP service at HOST:PORT (see each command)")
            ->type_name("HOST:PORT");

    // Each subcommand reads into options of its own: CLI11 fills options from their environment
    // variables in every subcommand, chosen or not, and would overwrite a shared one.
    std::map<const CLI::App*, Options> options;
    auto addCommand = [&](const char* name, const char* description) -> std::pair<CLI::App*, Options&> {
        CLI::App* command = app.add_subcommand(name, description);
        Options& o = options[command];
        o.legacy = AddCommonOptions(*command, o.common, o.raw.legacy);
        return {command, o};
    };
    const char* allTypes = "sms|lms|mms|all";
    const char* allTypesHelp = "Message type (default: all)";

    addCommand("status", "Show the account: user, name, return phones, credit");

    auto [send, s] = addCommand("send", "Send an SMS, LMS or MMS to one or more phones, now or reserved");
    send->add_option("--to", s.raw.to, "Receiver, PHONE or NAME:PHONE; repeat for more receivers")
        ->required()
        ->type_name("[NAME:]PHONE")
        ->allow_extra_args(false);
    send->add_option("--text", s.raw.text, "The message; - reads it from standard input")->required();
    send->add_option("--subject", s.raw.subject,
                     "Subject of a long or multimedia message (implies --type lms without --image)");
    send->add_option("--image", s.raw.images,
                     "Picture to send, converted to JPEG (PNG, JPEG, GIF, BMP, ICO or TIFF); repeat for more "
                     "pictures, sent in order; implies --type mms")
        ->type_name("FILE")
        ->allow_extra_args(false);
    CLI::Option* sendType =
        AddTypeOption(*send, s.raw.type, "sms|lms|mms",
                      "Message type (default: mms with --image, else lms with --subject, else sms)");
    send->add_option("--from", s.raw.from,
                     "Return phone shown to the receivers (default: the service decides)")
        ->type_name("PHONE");
    send->add_option("--at", s.raw.at, "Reserve for this local time instead of sending now")
        ->type_name("\"YYYY-MM-DD HH:MM\"");

    auto [logs, l] = addCommand("logs", "List the transfers of a month");
    logs->add_option("month", l.raw.month, "Month to list (default: the current month)")
        ->type_name("YYYY-MM");
    logs->add_option("--days", l.raw.days, "Only these days of the month, A-B or a single day")
        ->type_name("A-B");
    logs->add_flag("--reserved", l.raw.reserved, "Only reserved transfers");
    AddTypeOption(*logs, l.raw.type, allTypes, allTypesHelp);

    auto [detail, d] = addCommand("detail", "Show one transfer with its receivers");
    detail->add_option("month", d.raw.month, "Month of the transfer (as send prints it)")
        ->required()
        ->type_name("YYYYMM");
    detail->add_option("index", d.raw.index, "Index of the transfer within its month")
        ->required()
        ->type_name("INDEX");
    AddTypeOption(*detail, d.raw.type, allTypes, allTypesHelp);

    CLI::App* cancel = addCommand("cancel", "Cancel reserved transfers that have not gone out yet").first;
    CLI::App* remove = addCommand("delete", "Delete transfers from the log").first;
    for (CLI::App* command : {cancel, remove}) {
        Raw& raw = options[command].raw;
        command->add_option("month", raw.month, "Month of the transfers")->required()->type_name("YYYYMM");
        command->add_option("index", raw.indexes, "Indexes of the transfers within that month")
            ->required()
            ->type_name("INDEX...");
        AddTypeOption(*command, raw.type, allTypes, allTypesHelp);
    }

    // Registration and the component's whereabouts take no account: only the module and the form
    // of the output.
    auto addModuleCommand = [&](const char* name, const char* description, const char* moduleHelp) {
        CLI::App* command = app.add_subcommand(name, description);
        Options& o = options[command];
        command->add_option("--module", o.common.module, moduleHelp)
            ->envname("VEXA_MODULE")
            ->type_name("PATH");
        command->add_flag("--json", o.common.json, "Print one JSON document instead of tables");
        return command;
    };
    CLI::App* registerCommand = addModuleCommand(
        "register",
        "Register the component for hosts to activate by ProgID: for this user, or machine wide when run "
        "as root",
        "VexaComponent32.so to register (default: the one beside vexa)");
    addModuleCommand("unregister",
                     "Remove the component's registration: this user's, or the machine's when run as root",
                     "VexaComponent32.so that removes it (default: the one beside vexa)");
    CLI::App* component = addModuleCommand("component", "Show which VexaComponent32.so vexa uses, and why",
                                           "VexaComponent32.so to use (default: the registered one, else the "
                                           "one beside vexa)");

    const CLI::App* chosen = nullptr;
    try {
        app.parse(argc, argv);
        chosen = app.get_subcommands().front();
        Raw& raw = options[chosen].raw;
        Invocation invocation{options[chosen].common, StatusRequest{}};
        const CLI::Option* legacyOption = options[chosen].legacy;
        if (!legacyOption) {
            if (leadingLegacyOption->count() > 0)
                throw UsageError("--legacy does not go with " + chosen->get_name());
            if (chosen == component)
                invocation.request = ComponentRequest{};
            else
                invocation.request =
                    RegistrationRequest{chosen == registerCommand ? RegistrationRequest::Action::Register
                                                                  : RegistrationRequest::Action::Unregister};
            return {std::move(invocation), kExitOk};
        }
        if (leadingLegacyOption->count() > 0) raw.legacy = leadingLegacy;
        if (leadingLegacyOption->count() > 0 || legacyOption->count() > 0) {
            invocation.options.legacy = ParseLegacyServer(raw.legacy);
            CheckForLegacy(raw);
            // The REST service's endpoint has no part in a legacy call (its variables may be set).
            invocation.options.endpoint.clear();
            invocation.options.cacert.clear();
        }
        if (chosen == send) {
            invocation.request = MakeSend(raw, sendType->count() > 0);
        } else if (chosen == logs) {
            invocation.request = MakeLogs(raw, currentMonth);
        } else if (chosen == detail) {
            invocation.request = MakeDetail(raw);
        } else if (chosen == cancel || chosen == remove) {
            invocation.request = MakeManage(
                raw, chosen == cancel ? ManageRequest::Action::Cancel : ManageRequest::Action::Delete);
        }
        return {std::move(invocation), kExitOk};
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
