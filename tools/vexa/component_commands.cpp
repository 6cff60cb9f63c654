#include "component_commands.h"

#include <dlfcn.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "vexa/activation.h"
#include "vexa_module.h"

namespace vexa_cli {

namespace {

struct CloseModule {
    void operator()(void* handle) const { dlclose(handle); }
};

std::string Why(HRESULT hr) {
    switch (hr) {
        case VEXA_E_REGISTRYDAMAGED:
            return "the registry file does not parse, and is left as it is";
        case E_ACCESSDENIED:
            return "the registry file or its folder may not be written";
        default:
            return "failed";
    }
}

// The registry file that the module's registration in this process wrote, and whose it is;
// nothing when it cannot be told (the registration has succeeded all the same).
void AddRegistryFile(Report& report) {
    std::string path;
    size_t size = 0;
    int machineWide = 0;
    HRESULT hr = VexaRegistrationFile(nullptr, &size, &machineWide);
    if (SUCCEEDED(hr)) {
        path.resize(size);
        hr = VexaRegistrationFile(path.data(), &size, nullptr);
    }
    const bool known = SUCCEEDED(hr);
    if (known) path.resize(size - 1);
    report.fields.push_back({"registry", "Registry", known ? Value(path) : Value()});
    report.fields.push_back(
        {"scope", "Scope", known ? Value(std::string(machineWide ? "machine-wide" : "per user")) : Value()});
}

}  // namespace

CommandResult RunRegistration(const std::filesystem::path& module, RegistrationRequest::Action action,
                              const RegisteredModule& registered) {
    const bool add = action == RegistrationRequest::Action::Register;
    const char* entry = add ? "DllRegisterServer" : "DllUnregisterServer";
    // Only for the one call: nothing of the module is created.
    const std::unique_ptr<void, CloseModule> handle(dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
    const auto call = reinterpret_cast<HRESULT (*)()>(dlsym(handle.get(), entry));
    if (!call) throw std::runtime_error(module.string() + " does not export " + entry);
    if (const HRESULT hr = call(); FAILED(hr)) throw ComponentError(hr, entry, Why(hr));

    CommandResult result;
    result.report.fields.push_back(
        {"module", "Module", std::filesystem::absolute(module).lexically_normal().string()});
    AddRegistryFile(result.report);
    // What hosts activate now; after removal, a machine-wide registration may still answer.
    for (const OLECHAR* progId : {kMessageProgId, kSmsProgId}) {
        const std::optional<std::filesystem::path> now = registered(progId);
        const std::string name = vexa_host::Utf8(progId);
        result.report.fields.push_back({name, name, now ? Value(now->string()) : Value()});
    }
    return result;
}

CommandResult RunComponent(const ComponentLocation& location) {
    const char* found = ModuleSourceWord(location.source);
    const std::string activation = location.source == ModuleSource::kRegistered
                                       ? "ProgID " + vexa_host::Utf8(kMessageProgId)
                                       : "the module's DllGetClassObject";
    CommandResult result;
    result.report.fields = {
        {"module", "Module", location.module.string()},
        {"found", "Found", std::string(found)},
        {"activation", "Activation", activation},
    };
    return result;
}

}  // namespace vexa_cli
