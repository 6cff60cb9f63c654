// The man page (roff, man macros), written from the command line's own description.
#pragma once

#include <ostream>

#include "command_line_spec.h"

namespace vexa_cli {

void WriteManPage(const CommandLineSpec& spec, std::ostream& out);

}  // namespace vexa_cli
