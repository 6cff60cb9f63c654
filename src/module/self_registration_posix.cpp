#include "module/self_registration.h"
#include "registry/registry_store.h"

namespace vexa {

// Registration is one atomic rewrite of the registry file: a failing step leaves the file as it
// was, rather than half written.
HRESULT RegisterClasses(std::span<const ClassRegistration> classes) {
    const std::string module = ThisModulePath();
    const std::filesystem::path file = RegistryPath(RegistrationScope());
    if (module.empty() || file.empty()) return SELFREG_E_CLASS;
    return UpdateRegistry(file,
                          [&](RegistryFile& registry) { return RegisterModule(registry, module, classes); });
}

HRESULT UnregisterClasses(std::span<const ClassRegistration> classes) {
    const std::filesystem::path file = RegistryPath(RegistrationScope());
    if (file.empty()) return SELFREG_E_CLASS;
    // Nothing of ours registered: the file stays as it is, or absent.
    RegistryFile current;
    HRESULT hr = ReadRegistry(file, current);
    if (SUCCEEDED(hr)) hr = UnregisterModule(current, classes);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    return UpdateRegistry(file, [&](RegistryFile& registry) { return UnregisterModule(registry, classes); });
}

}  // namespace vexa
