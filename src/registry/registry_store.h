// Where the registry stand-in lives, and reading and changing it safely.
#pragma once

#include <filesystem>
#include <functional>

#include "registry/registry_file.h"
#include "vexa/automation.h"

namespace vexa {

// HRESULT_FROM_WIN32(ERROR_BADDB): a registry file that does not parse.
inline constexpr HRESULT kRegistryDamaged = static_cast<HRESULT>(0x800703F1);

enum class RegistryScope { kUser, kMachine };

// The per-user file ($XDG_DATA_HOME/vexa/registry.reg, by default ~/.local/share/vexa/registry.reg)
// or the machine-wide one (/etc/vexa/registry.reg). Empty when no home can be found.
std::filesystem::path RegistryPath(RegistryScope scope);
// Machine-wide for root, per user for everybody else.
RegistryScope RegistrationScope();

// Reads the file under a shared advisory lock; a missing file reads as empty. kRegistryDamaged
// when it does not parse; another failure's HRESULT when it cannot be read.
HRESULT ReadRegistry(const std::filesystem::path& file, RegistryFile& out);

// Reads the file, lets edit change it and writes it back, all under an exclusive advisory lock
// (so two writers never lose each other's keys), atomically (a temporary file in the same
// directory, then rename). The directory is made when missing. A file that does not parse is left
// untouched (kRegistryDamaged); a failing edit writes nothing and its HRESULT is returned. An edit
// that leaves no value in any key removes the file and its lock file.
HRESULT UpdateRegistry(const std::filesystem::path& file, const std::function<HRESULT(RegistryFile&)>& edit);

}  // namespace vexa
