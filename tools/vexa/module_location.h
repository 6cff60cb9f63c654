// Which VexaComponent32.so the tool uses, and how it makes its front objects from it:
//  - the one named by --module or VEXA_MODULE, loaded directly;
//  - else, when the registry knows the front object's ProgID, the module registered for it,
//    with the object activated by ProgID as any host activates it;
//  - else the first found beside the executable, in an installation's module folder (relative to
//    bin/), one folder up, or two folders up (the build tree, where the tool sits in tools/vexa/
//    below the module), loaded directly.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vexa/automation.h"

namespace vexa_cli {

inline constexpr const OLECHAR* kMessageProgId = u"VexaComponent.Message";
inline constexpr const OLECHAR* kSmsProgId = u"VexaComponent.SMS";

enum class ModuleSource { kGiven, kRegistered, kBeside };

struct ComponentLocation {
    ModuleSource source = ModuleSource::kBeside;
    std::filesystem::path module;
};

// "registered", "given" or "beside", as vexa prints how it found the module.
const char* ModuleSourceWord(ModuleSource source);

std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable);

// `given` when not empty; otherwise the first candidate for which `exists` holds. Throws
// std::runtime_error naming the places looked at when there is none.
std::filesystem::path FindModule(const std::string& given, const std::filesystem::path& executable,
                                 const std::function<bool(const std::filesystem::path&)>& exists);

// The module the registry names for progId; nullopt when it names none. Throws
// std::runtime_error when the registry cannot be read.
using RegisteredModule = std::function<std::optional<std::filesystem::path>(const OLECHAR* progId)>;
std::optional<std::filesystem::path> RegistryModule(const OLECHAR* progId);

// The order of the header's comment. A registered module that is not there is an error rather
// than a reason to load another: the registration is stale, and the user should know.
ComponentLocation LocateComponent(const std::string& given, const OLECHAR* progId,
                                  const std::filesystem::path& executable, const RegisteredModule& registered,
                                  const std::function<bool(const std::filesystem::path&)>& exists);

// This process's executable (/proc/self/exe).
std::filesystem::path CurrentExecutable();

}  // namespace vexa_cli
