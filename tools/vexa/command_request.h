// What the chosen command asks for: its options as typed, checked and turned into a request. The
// command line's description (cli.h) fills the options; nothing here knows how they were given.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "requests.h"

namespace vexa_cli {

// The commands on the service come first, up to Delete; the others act on the module or on vexa.
enum class Command { Status, Send, Logs, Detail, Cancel, Delete, Register, Unregister, Component, Config };
constexpr bool OnService(Command command) { return command <= Command::Delete; }

// The chosen command's options as typed, before any check.
struct RawOptions {
    CommonOptions common;  // all but `legacy`, which is made from the text below
    std::vector<std::string> to, images;
    std::string toFile;
    std::string text, subject, type = "all", from, at;
    bool typeGiven = false;
    std::string month, days, index;
    std::vector<std::string> indexes;
    bool reserved = false;
    bool strict = false, quiet = false;
    std::string configAction, configKey, configValue;
    // HOST:PORT of the legacy service when one was given, empty or not.
    std::optional<std::string> legacy;
};

// The invocation of `command`; throws UsageError naming what is wrong. `currentMonth` is what
// logs lists without a month.
Invocation MakeInvocation(Command command, const RawOptions& options, YearMonth currentMonth);

}  // namespace vexa_cli
