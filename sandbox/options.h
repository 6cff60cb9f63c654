// vexa-sandbox's command line.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string_view>

#include "sandbox/sandbox.h"

namespace vexa::sandbox {

// What --account creates when the store has no such account.
inline constexpr int64_t kDefaultCredit = 1000;
inline constexpr const char* kDefaultReturnPhone = "02-000-0000";

// "USER:PASSWORD[:CREDIT]": the last field is the credit when it is a decimal number, so a
// password that itself ends in ":digits" needs the credit written out. A new account is named
// after its user ID and gets the default return phone.
std::optional<AccountSetup> ParseAccountOption(std::string_view text);

// How long --print-env waits for a sandbox to be up, unless --wait says otherwise.
inline constexpr std::chrono::milliseconds kDefaultPrintEnvWait{10000};

struct CommandLine {
    SandboxOptions sandbox;
    // With --print-env: no sandbox starts; the environment of the one running on the data
    // directory is printed, waiting this long for it.
    std::optional<std::chrono::milliseconds> printEnvWait;
};

// Fills `line` from the arguments. -1 to go on; otherwise the process's exit code (0 after help or
// the version, 2 after a usage error), with what was asked or wrong written to `out` or `err`.
int ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::ostream& out,
                     std::ostream& err);

}  // namespace vexa::sandbox
