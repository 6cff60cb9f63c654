#include "contract/registration.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <utility>

#include "vexa/VexaComponent.h"

namespace vexa {
namespace {

constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";
// The module's AppID is its type library's identity.
constexpr GUID kAppId = LIBID_VexaComponent;
constexpr std::string_view kAppName = "VexaComponent";
constexpr std::string_view kModuleAppIdKey = "VexaComponent32.DLL";
constexpr std::string_view kThreadingModel = "apartment";
// The type library's help string, which is what its record's version key holds.
constexpr std::string_view kTypeLibHelp = "VexaComponent 4.2 형식 라이브러리";
// The type library's locale (1033), written in hex as the registry names locale keys.
constexpr std::string_view kTypeLibLocale = "409";
// The system kind names the pointer size the type library's layouts were made for.
constexpr std::string_view kTypeLibPlatform = sizeof(void*) == 8 ? "win64" : "win32";

std::string Key(std::initializer_list<std::string_view> parts) {
    std::string key(kClassesRoot);
    for (std::string_view part : parts) {
        key += '\\';
        key += part;
    }
    return key;
}

// Makes the key and every key between it and the hive, top down, so that the file lists a whole
// tree the way an export of the registry does.
void MakeKey(RegistryFile& registry, const std::string& key) {
    for (size_t at = key.find('\\', kClassesRoot.size() + 1); at != std::string::npos;
         at = key.find('\\', at + 1)) {
        registry.Ensure(std::string_view(key).substr(0, at));
    }
    registry.Ensure(key);
}

void SetDefault(RegistryFile& registry, const std::string& key, std::string_view value) {
    MakeKey(registry, key);
    registry.SetDefault(key, std::string(value));
}

void SetValue(RegistryFile& registry, const std::string& key, std::string_view name, std::string_view value) {
    MakeKey(registry, key);
    registry.SetValue(key, name, std::string(value));
}

std::string TypeLibVersion() {
    char text[24];
    std::snprintf(text, sizeof text, "%x.%x", VEXA_TYPELIB_MAJOR, VEXA_TYPELIB_MINOR);
    return text;
}

void RegisterAppId(RegistryFile& registry) {
    const std::string appId = GuidText(kAppId);
    SetDefault(registry, Key({"AppID", appId}), kAppName);
    SetValue(registry, Key({"AppID", kModuleAppIdKey}), "AppID", appId);
}

void RegisterClass(RegistryFile& registry, const std::string& modulePath, const ClassRegistration& c) {
    const std::string clsid = GuidText(c.clsid);
    SetDefault(registry, Key({c.progId}), c.friendlyName);
    SetDefault(registry, Key({c.progId, "CLSID"}), clsid);
    SetDefault(registry, Key({c.versionIndependentProgId}), c.friendlyName);
    // The class too, not only CurVer: the system's ProgID lookup reads the CLSID subkey alone, so
    // without it a host could not create the class by its version-independent name.
    SetDefault(registry, Key({c.versionIndependentProgId, "CLSID"}), clsid);
    SetDefault(registry, Key({c.versionIndependentProgId, "CurVer"}), c.progId);
    const std::string classKey = Key({"CLSID", clsid});
    SetDefault(registry, classKey, c.friendlyName);
    SetDefault(registry, Key({"CLSID", clsid, "ProgID"}), c.progId);
    SetDefault(registry, Key({"CLSID", clsid, "VersionIndependentProgID"}), c.versionIndependentProgId);
    MakeKey(registry, Key({"CLSID", clsid, "Programmable"}));
    const std::string server = Key({"CLSID", clsid, "InprocServer32"});
    SetDefault(registry, server, modulePath);
    SetValue(registry, server, "ThreadingModel", kThreadingModel);
    SetValue(registry, classKey, "AppID", GuidText(kAppId));
    SetDefault(registry, Key({"CLSID", clsid, "TypeLib"}), GuidText(LIBID_VexaComponent));
}

void RegisterTypeLib(RegistryFile& registry, const std::string& modulePath) {
    const std::string libid = GuidText(LIBID_VexaComponent);
    const std::string version = TypeLibVersion();
    SetDefault(registry, Key({"TypeLib", libid, version}), kTypeLibHelp);
    SetDefault(registry, Key({"TypeLib", libid, version, kTypeLibLocale, kTypeLibPlatform}), modulePath);
    SetDefault(registry, Key({"TypeLib", libid, version, "FLAGS"}), "0");
    SetDefault(registry, Key({"TypeLib", libid, version, "HELPDIR"}),
               std::filesystem::path(modulePath).parent_path().string());
}

// Only this version's record goes; the library's key stays while another version is recorded.
bool UnregisterTypeLib(RegistryFile& registry) {
    const std::string library = Key({"TypeLib", GuidText(LIBID_VexaComponent)});
    const bool removed = registry.RemoveTree(library + '\\' + TypeLibVersion());
    const RegistryKey* key = registry.Find(library);
    if (!key || key->defaultValue || !key->values.empty()) return removed;
    RegistryFile without = registry;
    without.RemoveTree(library);
    if (without.Keys().size() + 1 != registry.Keys().size()) return removed;  // keys below it remain
    registry = std::move(without);
    return true;
}

}  // namespace

std::string GuidText(const GUID& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

HRESULT RegisterModuleClasses(RegistryFile& registry, const std::string& modulePath,
                              std::span<const ClassRegistration> classes) {
    // Hosts load what the registry names from wherever they run.
    if (modulePath.empty() || !std::filesystem::path(modulePath).is_absolute()) return E_INVALIDARG;
    RegisterAppId(registry);
    for (const ClassRegistration& c : classes) RegisterClass(registry, modulePath, c);
    return S_OK;
}

HRESULT RegisterModule(RegistryFile& registry, const std::string& modulePath,
                       std::span<const ClassRegistration> classes) {
    const HRESULT hr = RegisterModuleClasses(registry, modulePath, classes);
    if (SUCCEEDED(hr)) RegisterTypeLib(registry, modulePath);
    return hr;
}

std::vector<std::string> ModuleClassTrees(std::span<const ClassRegistration> classes) {
    std::vector<std::string> trees;
    for (const ClassRegistration& c : classes) {
        trees.push_back(Key({c.progId}));
        trees.push_back(Key({c.versionIndependentProgId}));
        trees.push_back(Key({"CLSID", GuidText(c.clsid)}));
    }
    return trees;
}

std::vector<std::string> ModuleAppIdTrees() {
    return {Key({"AppID", GuidText(kAppId)}), Key({"AppID", kModuleAppIdKey})};
}

HRESULT UnregisterModule(RegistryFile& registry, std::span<const ClassRegistration> classes) {
    bool removed = false;
    for (const std::string& tree : ModuleClassTrees(classes)) removed |= registry.RemoveTree(tree);
    removed |= UnregisterTypeLib(registry);
    for (const std::string& tree : ModuleAppIdTrees()) removed |= registry.RemoveTree(tree);
    return removed ? S_OK : S_FALSE;
}

}  // namespace vexa
