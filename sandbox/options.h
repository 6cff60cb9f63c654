// vexa-sandbox's command line.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string_view>

#include "sandbox/account_options.h"
#include "sandbox/sandbox.h"

namespace vexa::sandbox {

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
// Reads standard input only for --password-stdin.
int ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::ostream& out,
                     std::ostream& err);

}  // namespace vexa::sandbox
