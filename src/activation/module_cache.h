// The modules this process has activated classes from: each loaded once, by path, and kept loaded
// (objects of a module may outlive every reference a host keeps to its class objects).
#pragma once

#include <string>

#include "vexa/automation.h"

namespace vexa::activation {

using GetClassObjectFunction = HRESULT (*)(const GUID* rclsid, const GUID* riid, void** ppv);

// The module's DllGetClassObject, loading the module on first use. CO_E_DLLNOTFOUND when it will
// not load or exports no DllGetClassObject; such a module is not kept, so a later call tries again.
HRESULT ClassObjectFunction(const std::string& modulePath, GetClassObjectFunction& out);

}  // namespace vexa::activation
