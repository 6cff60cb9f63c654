// Shell completion for bash, zsh and fish, written from the command line's own description, and
// the "completion" command that prints a script or the man page.
#pragma once

#include <ostream>

#include "command_line_description.h"

namespace CLI {
class App;
}

namespace vexa_cli {

void WriteBashCompletion(const CommandLineDescription& described, std::ostream& out);
void WriteZshCompletion(const CommandLineDescription& described, std::ostream& out);
void WriteFishCompletion(const CommandLineDescription& described, std::ostream& out);

// Adds "completion bash|zsh|fish|man" to app, the last of its commands. Chosen, it writes the
// script or the man page for app as it then stands to out, and ends parsing with CLI::Success.
void AddCompletionCommand(CLI::App& app, std::ostream& out);

}  // namespace vexa_cli
