// The module's entry points for creation: the object map of creatable classes and their cached
// class objects.
#include <iterator>

#include "contract/class_factory.h"
#include "legacy/sms.h"
#include "message/message.h"
#include "vexa/VexaComponent.h"

namespace vexa {
namespace {

struct CreatableClass {
    const CLSID* clsid;
    ClassFactory* (*factory)();
};

template <class T>
ClassFactory* FactoryOf() {
    // Made on first request (thread-safe), kept for the life of the module.
    static ClassFactory factory(&T::CreateInstance);
    return &factory;
}

constexpr CreatableClass kCreatable[] = {
    {&CLSID_Message, &FactoryOf<Message>},
    {&CLSID_SMS, &FactoryOf<SMS>},
};

}  // namespace
}  // namespace vexa

extern "C" {

HRESULT DllGetClassObject(const GUID* rclsid, const GUID* riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!rclsid || !riid) return E_INVALIDARG;
    for (const vexa::CreatableClass& c : vexa::kCreatable) {
        if (*c.clsid == *rclsid) return c.factory()->QueryInterface(*riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() { return vexa::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

}  // extern "C"
