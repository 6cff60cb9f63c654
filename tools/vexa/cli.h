// The command line: subcommands, their options and help, described and read with CLI11; the
// chosen command's options become an Invocation in command_request.h.
#pragma once

#include <optional>
#include <ostream>

#include "requests.h"

namespace vexa_cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitComponentError = 1;  // the component or the service refused
inline constexpr int kExitUsage = 2;           // the command line is wrong
inline constexpr int kExitPartial = 3;         // the call worked, some entries were not done

struct ParseOutcome {
    std::optional<Invocation> invocation;  // none: stop with exitCode (help shown, or an error)
    int exitCode = kExitOk;
    bool showVersion = false;  // --version: print the versions and stop
};

// Help goes to `out`, mistakes to `err`. `currentMonth` is what logs lists without a month.
ParseOutcome ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                              YearMonth currentMonth);

// The month of the local clock.
YearMonth CurrentMonth();

}  // namespace vexa_cli
