// Which VexaComponent32.so the tool loads: the one named by --module or VEXA_MODULE, else the
// first found beside the executable, one folder up (a bin/ folder next to the module), or two
// folders up (the build tree, where the tool sits in tools/vexa/ below the module).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vexa_cli {

std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable);

// `given` when not empty; otherwise the first candidate for which `exists` holds. Throws
// std::runtime_error naming the places looked at when there is none.
std::filesystem::path FindModule(const std::string& given, const std::filesystem::path& executable,
                                 const std::function<bool(const std::filesystem::path&)>& exists);

// This process's executable (/proc/self/exe).
std::filesystem::path CurrentExecutable();

}  // namespace vexa_cli
