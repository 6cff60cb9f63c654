// The module's entry points: the object map of creatable classes, their cached class objects and
// their registration.
#include <array>
#include <iterator>

#include "automation/guarded.h"
#include "contract/class_factory.h"
#include "contract/registration.h"
#include "legacy/sms.h"
#include "message/message.h"
#include "module/self_registration.h"
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

}  // namespace
}  // namespace vexa

// Every entry point runs guarded (see automation/guarded.h).
extern "C" {

HRESULT STDMETHODCALLTYPE DllGetClassObject(const GUID* rclsid, const GUID* riid, void** ppv) {
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

HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return vexa::Guarded([] { return vexa::ModuleLockCount() == 0 ? S_OK : S_FALSE; });
}

HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    return vexa::Guarded([] { return vexa::RegisterClasses(vexa::kRegistrations); });
}

HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
    return vexa::Guarded([] { return vexa::UnregisterClasses(vexa::kRegistrations); });
}

}  // extern "C"
