#include "module_location.h"

#include <stdexcept>

#include "session.h"
#include "vexa/activation.h"
#include "vexa_module.h"

namespace vexa_cli {

const char* ModuleSourceWord(ModuleSource source) {
    switch (source) {
        case ModuleSource::kRegistered:
            return "registered";
        case ModuleSource::kGiven:
            return "given";
        case ModuleSource::kBeside:
            break;
    }
    return "beside";
}

namespace {

constexpr const char* kModuleName = "VexaComponent32.so";

std::string Text(const OLECHAR* progId) { return vexa_host::Utf8(progId); }

}  // namespace

std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable) {
    const std::filesystem::path folder = executable.parent_path();
    return {folder / kModuleName, (folder / VEXA_INSTALLED_MODULE_DIR / kModuleName).lexically_normal(),
            folder.parent_path() / kModuleName, folder.parent_path().parent_path() / kModuleName};
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

std::optional<std::filesystem::path> RegistryModule(const OLECHAR* progId) {
    std::string path;
    size_t size = 0;
    HRESULT hr = VexaResolveClass(progId, nullptr, nullptr, &size);
    // The registry may change between the two calls.
    while (SUCCEEDED(hr) || hr == VEXA_E_INSUFFICIENTBUFFER) {
        path.resize(size);
        hr = VexaResolveClass(progId, nullptr, path.data(), &size);
        if (SUCCEEDED(hr)) {
            path.resize(size - 1);
            return path;
        }
    }
    if (hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG) return std::nullopt;
    const std::string why = hr == VEXA_E_REGISTRYDAMAGED ? "a registry file does not parse"
                            : hr == CO_E_DLLNOTFOUND     ? "the module it names is no absolute path"
                                                         : "the registry cannot be read";
    throw std::runtime_error("cannot tell where " + Text(progId) + " is registered: " + why + " (" +
                             HexCode(hr) + "); give --module PATH");
}

ComponentLocation LocateComponent(const std::string& given, const OLECHAR* progId,
                                  const std::filesystem::path& executable, const RegisteredModule& registered,
                                  const std::function<bool(const std::filesystem::path&)>& exists) {
    if (!given.empty()) return {ModuleSource::kGiven, given};
    if (std::optional<std::filesystem::path> module = registered(progId)) {
        if (!exists(*module))
            throw std::runtime_error(Text(progId) + " is registered to " + module->string() +
                                     ", which is not there; register the component again (vexa register) "
                                     "or give --module PATH");
        return {ModuleSource::kRegistered, std::move(*module)};
    }
    return {ModuleSource::kBeside, FindModule("", executable, exists)};
}

std::filesystem::path CurrentExecutable() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw std::runtime_error("cannot tell where the vexa executable is: " + error.message());
    return path;
}

}  // namespace vexa_cli
