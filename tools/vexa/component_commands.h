// The commands on the component itself rather than on the service: registering it for hosts to
// activate by ProgID, and telling which module vexa uses.
#pragma once

#include <filesystem>

#include "commands.h"
#include "module_location.h"
#include "requests.h"

namespace vexa_cli {

// Runs the module's DllRegisterServer or DllUnregisterServer, then reports the registry file it
// wrote and its scope, and what the registry now names for each ProgID of the component. A
// failure throws ComponentError.
CommandResult RunRegistration(const std::filesystem::path& module, RegistrationRequest::Action action,
                              const RegisteredModule& registered);

CommandResult RunComponent(const ComponentLocation& location);

}  // namespace vexa_cli
