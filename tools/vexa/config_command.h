// vexa config: shows, sets and unsets the keys of a profile (profiles.h).
#pragma once

#include <filesystem>

#include "commands.h"

namespace vexa_cli {

CommandResult RunConfig(const ConfigRequest& request, const std::filesystem::path& file);

}  // namespace vexa_cli
