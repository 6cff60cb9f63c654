#include "command_request.h"

#include <iterator>
#include <utility>

#include "receiver_file.h"

namespace vexa_cli {

namespace {

// The legacy service sends and keeps text messages (SMS) without receiver names; what it cannot
// carry is refused before the options are read further, so the message names --legacy.
void CheckForLegacy(const RawOptions& raw) {
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

SendRequest MakeSend(const RawOptions& raw) {
    SendRequest r;
    for (const std::string& to : raw.to) r.receivers.push_back(ParseReceiver(to));
    if (!raw.toFile.empty()) {
        std::vector<ReceiverEntry> listed = ReadReceiverFile(raw.toFile);
        r.receivers.insert(r.receivers.end(), std::make_move_iterator(listed.begin()),
                           std::make_move_iterator(listed.end()));
    }
    if (r.receivers.empty()) throw UsageError("give the receivers with --to or --to-file");
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
    r.type = raw.typeGiven         ? ParseMessageType(raw.type)
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
    r.strict = raw.strict;
    r.quiet = raw.quiet;
    return r;
}

LogsRequest MakeLogs(const RawOptions& raw, YearMonth currentMonth) {
    LogsRequest r;
    r.month = raw.month.empty() ? currentMonth : ParseMonth(raw.month);
    if (!raw.days.empty()) r.days = ParseDayRange(raw.days, r.month);
    r.reservedOnly = raw.reserved;
    r.type = ParseMessageType(raw.type);
    return r;
}

DetailRequest MakeDetail(const RawOptions& raw) {
    return {ParseMonth(raw.month), ParseLogIndex(raw.index), ParseMessageType(raw.type)};
}

ManageRequest MakeManage(const RawOptions& raw, ManageRequest::Action action) {
    ManageRequest r;
    r.action = action;
    r.month = ParseMonth(raw.month);
    for (const std::string& index : raw.indexes) r.indexes.push_back(ParseLogIndex(index));
    r.type = ParseMessageType(raw.type);
    return r;
}

ConfigRequest MakeConfig(const RawOptions& raw) {
    ConfigRequest r;
    r.profile = raw.common.profile;
    r.key = raw.configKey;
    r.value = raw.configValue;
    const std::string& action = raw.configAction;
    if (action.empty() || action == "show") {
        if (!r.key.empty()) throw UsageError("config show takes no key");
        return r;
    }
    if (action != "set" && action != "unset")
        throw UsageError("config takes show, set KEY VALUE or unset KEY, not '" + action + "'");
    r.action = action == "set" ? ConfigRequest::Action::Set : ConfigRequest::Action::Unset;
    if (r.key.empty()) throw UsageError("config " + action + " needs a KEY");
    if (r.action == ConfigRequest::Action::Unset && !r.value.empty())
        throw UsageError("config unset takes no value");
    return r;
}

Request MakeRequest(Command command, const RawOptions& raw, YearMonth currentMonth) {
    switch (command) {
        case Command::Status:
            return StatusRequest{};
        case Command::Send:
            return MakeSend(raw);
        case Command::Logs:
            return MakeLogs(raw, currentMonth);
        case Command::Detail:
            return MakeDetail(raw);
        case Command::Cancel:
            return MakeManage(raw, ManageRequest::Action::Cancel);
        case Command::Delete:
            return MakeManage(raw, ManageRequest::Action::Delete);
        case Command::Register:
            return RegistrationRequest{RegistrationRequest::Action::Register};
        case Command::Unregister:
            return RegistrationRequest{RegistrationRequest::Action::Unregister};
        case Command::Component:
            return ComponentRequest{};
        case Command::Config:
            return MakeConfig(raw);
    }
    return StatusRequest{};
}

}  // namespace

Invocation MakeInvocation(Command command, const RawOptions& options, YearMonth currentMonth) {
    Invocation invocation{options.common, StatusRequest{}};
    if (options.legacy) {
        invocation.options.legacy = ParseLegacyServer(*options.legacy);
        CheckForLegacy(options);
        // The REST service's endpoint has no part in a legacy call (its variables may be set).
        invocation.options.endpoint.clear();
        invocation.options.cacert.clear();
    }
    invocation.request = MakeRequest(command, options, currentMonth);
    // Names may also come from a receiver file, read with the request.
    if (const auto* send = std::get_if<SendRequest>(&invocation.request); send && options.legacy) {
        for (const ReceiverEntry& to : send->receivers)
            if (!to.name.empty())
                throw UsageError("the legacy service takes no receiver names: " + options.toFile + " names " +
                                 to.phone + " '" + to.name + "'");
    }
    return invocation;
}

}  // namespace vexa_cli
