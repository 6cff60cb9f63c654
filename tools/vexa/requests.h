// What the command line asks for, checked and typed: one request per subcommand, and the options
// every subcommand shares.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "arguments.h"

namespace vexa_cli {

struct CommonOptions {
    std::string module;  // empty: the registered one, else the one beside the executable
    std::string user, password;
    std::string endpoint, cacert;  // empty: the component's built-in endpoint and the system's trust
    // Given: the commands run on the legacy TCP service (the SMS object) instead of the REST one.
    std::optional<LegacyServer> legacy;
    bool json = false;
    std::string profile;  // the profile named by --profile or VEXA_PROFILE; empty: the default one
};

struct StatusRequest {};

struct SendRequest {
    std::vector<ReceiverEntry> receivers;
    std::string text;  // "-": read standard input
    std::string subject;
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
    std::vector<std::string> images;  // picture files of an MMS, in order; UTF-8 names
    std::string returnPhone;
    std::optional<vexa::DateParts> reservation;  // local clock
    bool strict = false;                         // a warning refuses the send
    bool quiet = false;                          // no warnings printed
};

struct LogsRequest {
    YearMonth month;               // the current month unless one is given
    std::optional<DayRange> days;  // none: the whole month
    bool reservedOnly = false;
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_ALL;
};

struct DetailRequest {
    YearMonth month;
    std::string index;
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_ALL;
};

// cancel and delete: transfers of one month.
struct ManageRequest {
    enum class Action { Cancel, Delete } action = Action::Delete;
    YearMonth month;
    std::vector<std::string> indexes;
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_ALL;
};

// register and unregister: the module's classes in the registry, for hosts to activate by ProgID.
struct RegistrationRequest {
    enum class Action { Register, Unregister } action = Action::Register;
};

// component: which module vexa uses and how it found it.
struct ComponentRequest {};

// config: a profile's keys shown, one set or one removed.
struct ConfigRequest {
    enum class Action { Show, Set, Unset } action = Action::Show;
    std::string profile;  // empty: the default profile
    std::string key, value;
};

using Request = std::variant<StatusRequest, SendRequest, LogsRequest, DetailRequest, ManageRequest,
                             RegistrationRequest, ComponentRequest, ConfigRequest>;

struct Invocation {
    CommonOptions options;
    Request request;
};

}  // namespace vexa_cli
