#include "module_location.h"

#include <stdexcept>

namespace vexa_cli {

namespace {
constexpr const char* kModuleName = "VexaComponent32.so";
}

std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable) {
    const std::filesystem::path folder = executable.parent_path();
    return {folder / kModuleName, folder.parent_path() / kModuleName,
            folder.parent_path().parent_path() / kModuleName};
}

std::filesystem::path FindModule(const std::string& given, const std::filesystem::path& executable,
                                 const std::function<bool(const std::filesystem::path&)>& exists) {
    if (!given.empty()) return given;
    std::string looked;
    for (const std::filesystem::path& candidate : ModuleCandidates(executable)) {
        if (exists(candidate)) return candidate;
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    throw std::runtime_error(std::string(kModuleName) + " not found (looked at " + looked +
                             "); give --module PATH or set VEXA_MODULE");
}

std::filesystem::path CurrentExecutable() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw std::runtime_error("cannot tell where the vexa executable is: " + error.message());
    return path;
}

}  // namespace vexa_cli
