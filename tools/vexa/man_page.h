// The man page (roff, man macros), written from the command line's own description.
#pragma once

#include <ostream>

#include "command_line_description.h"

namespace vexa_cli {

void WriteManPage(const CommandLineDescription& described, std::ostream& out);

}  // namespace vexa_cli
