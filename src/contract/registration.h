// What the module writes into the registry so that hosts find its classes by CLSID and by ProgID,
// and its type library; and what it takes out again.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/module_path.h"  // ThisModulePath
#include "registry/registry_file.h"
#include "vexa/automation.h"

namespace vexa {

// The generic failure of a class's self-registration.
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

// A class hosts can create, as the registry knows it.
struct ClassRegistration {
    CLSID clsid;
    std::string_view progId;                    // "VexaComponent.Message.1"
    std::string_view versionIndependentProgId;  // "VexaComponent.Message"
    std::string_view friendlyName;              // "Message Object"
};

// "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}": upper case in braces, as the registry writes GUIDs.
std::string GuidText(const GUID& guid);

// Writes, under HKEY_CLASSES_ROOT, the module's AppID, then each class's ProgIDs and CLSID key
// (served in process from modulePath, in the apartment threading model), then the type library's
// record, replacing what an earlier registration left there. E_INVALIDARG when modulePath is not
// absolute. Both this and UnregisterModule throw std::bad_alloc when memory runs out; the
// module's entry points hold the catch.
HRESULT RegisterModule(RegistryFile& registry, const std::string& modulePath,
                       std::span<const ClassRegistration> classes);
// The same without the type library's record, for a system that records type libraries itself.
HRESULT RegisterModuleClasses(RegistryFile& registry, const std::string& modulePath,
                              std::span<const ClassRegistration> classes);

// The key trees (full paths) that unregistration removes whole: each class's, then the AppID's.
std::vector<std::string> ModuleClassTrees(std::span<const ClassRegistration> classes);
std::vector<std::string> ModuleAppIdTrees();

// Removes each class's keys, the type library's record and the AppID's keys, and keeps the roots
// other modules share (AppID, CLSID, TypeLib). S_FALSE when there was nothing to remove.
HRESULT UnregisterModule(RegistryFile& registry, std::span<const ClassRegistration> classes);

}  // namespace vexa
