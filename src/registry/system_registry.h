// The Windows registry as registration changes it: the classes root in force (the machine's, or
// the user's when the machine's cannot be written), and the type library records the system keeps.
// Results are HRESULTs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_file.h"

namespace vexa {

// Writes every key of keys (paths under HKEY_CLASSES_ROOT) with its values into the classes root
// in force, top down; stops at the first failure.
int32_t WriteClassesKeys(const RegistryFile& keys);
// Removes each tree (a path under HKEY_CLASSES_ROOT) from the classes root in force; S_FALSE when
// none was there.
int32_t RemoveClassesTrees(const std::vector<std::string>& trees);

// Records the type library that the module at modulePath carries as its resource 1.
int32_t RecordTypeLibrary(const std::string& modulePath);
// Removes the record of a type library version (libid in braces); S_FALSE when none was there.
int32_t ForgetTypeLibrary(std::string_view libid, uint16_t major, uint16_t minor, uint32_t lcid);

}  // namespace vexa
