// The module's entry points: the object map of creatable classes, their cached class objects and
// their registration.
#include <array>
#include <iterator>

#include "automation/guarded.h"
#include "contract/class_factory.h"
#include "contract/registration.h"
#include "legacy/sms.h"
#include "message/message.h"
#include "registry/registry_store.h"
#include "vexa/VexaComponent.h"

namespace vexa {
namespace {

struct CreatableClass {
    ClassRegistration registration;
    ClassFactory* (*factory)();
};

template <class T>
ClassFactory* FactoryOf() {
    // Made on first request (thread-safe), kept for the life of the module.
    static ClassFactory factory(&T::CreateInstance);
    return &factory;
}

constexpr CreatableClass kCreatable[] = {
    {{CLSID_Message, "VexaComponent.Message.1", "VexaComponent.Message", "Message Object"},
     &FactoryOf<Message>},
    {{CLSID_SMS, "VexaComponent.SMS.1", "VexaComponent.SMS", "SMS Object"}, &FactoryOf<SMS>},
};

constexpr auto kRegistrations = [] {
    std::array<ClassRegistration, std::size(kCreatable)> all{};
    for (size_t i = 0; i < all.size(); ++i) all[i] = kCreatable[i].registration;
    return all;
}();

// Registration is one atomic rewrite of the registry file: a failing step leaves the file as it
// was, rather than half written.
HRESULT Register() {
    const std::string module = ThisModulePath();
    const std::filesystem::path file = RegistryPath(RegistrationScope());
    if (module.empty() || file.empty()) return SELFREG_E_CLASS;
    return UpdateRegistry(
        file, [&](RegistryFile& registry) { return RegisterModule(registry, module, kRegistrations); });
}

HRESULT Unregister() {
    const std::filesystem::path file = RegistryPath(RegistrationScope());
    if (file.empty()) return SELFREG_E_CLASS;
    // Nothing of ours registered: the file stays as it is, or absent.
    RegistryFile current;
    HRESULT hr = ReadRegistry(file, current);
    if (SUCCEEDED(hr)) hr = UnregisterModule(current, kRegistrations);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    return UpdateRegistry(file,
                          [](RegistryFile& registry) { return UnregisterModule(registry, kRegistrations); });
}

}  // namespace
}  // namespace vexa

// Every entry point runs guarded (see automation/guarded.h).
extern "C" {

HRESULT DllGetClassObject(const GUID* rclsid, const GUID* riid, void** ppv) {
    return vexa::Guarded([&] {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!rclsid || !riid) return E_INVALIDARG;
        for (const vexa::CreatableClass& c : vexa::kCreatable) {
            if (c.registration.clsid == *rclsid) return c.factory()->QueryInterface(*riid, ppv);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

HRESULT DllCanUnloadNow() {
    return vexa::Guarded([] { return vexa::ModuleLockCount() == 0 ? S_OK : S_FALSE; });
}

HRESULT DllRegisterServer() { return vexa::Guarded(vexa::Register); }

HRESULT DllUnregisterServer() { return vexa::Guarded(vexa::Unregister); }

}  // extern "C"
