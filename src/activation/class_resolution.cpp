#include "activation/class_resolution.h"

#include <optional>
#include <utility>

#include "activation/class_text.h"
#include "vexa/activation.h"

namespace vexa::activation {

namespace {

constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT\\";
// Enough for any real chain of current versions, and an end to one that loops.
constexpr int kMaxCurVerHops = 8;

std::string Key(std::string_view name, std::string_view subkey = {}) {
    std::string key(kClassesRoot);
    key += name;
    if (!subkey.empty()) {
        key += '\\';
        key += subkey;
    }
    return key;
}

// The default value of a key of the file; empty when the key or its value is missing.
std::string DefaultOf(const RegistryFile& file, const std::string& key) {
    const RegistryKey* found = file.Find(key);
    return found && found->defaultValue ? *found->defaultValue : std::string();
}

HRESULT ClsidOfProgId(const RegistryView& registry, std::string progId, std::string& clsidText) {
    for (int hop = 0; hop <= kMaxCurVerHops; ++hop) {
        if (!IsProgId(progId)) return CO_E_CLASSSTRING;
        const RegistryFile* file = nullptr;
        if (const HRESULT hr = registry.Holder(Key(progId), file); FAILED(hr)) return hr;
        if (!file) return CO_E_CLASSSTRING;
        clsidText = DefaultOf(*file, Key(progId, "CLSID"));
        if (!clsidText.empty()) return S_OK;
        // A version-independent ProgID names its current version instead of a class.
        progId = DefaultOf(*file, Key(progId, "CurVer"));
        if (progId.empty()) return CO_E_CLASSSTRING;
    }
    return CO_E_CLASSSTRING;
}

}  // namespace

RegistryView::RegistryView(RegistrySource user, RegistrySource machine)
    : user_(std::move(user)), machine_(std::move(machine)) {}

HRESULT RegistryView::Holder(std::string_view key, const RegistryFile*& file) const {
    file = nullptr;
    for (const RegistrySource* source : {&user_, &machine_}) {
        if (FAILED(source->status)) return source->status;
        if (source->file.Find(key)) {
            file = &source->file;
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT ResolveClass(const RegistryView& registry, std::string_view text, ResolvedClass& out) {
    std::string clsidText(text);
    if (!text.starts_with('{')) {
        if (const HRESULT hr = ClsidOfProgId(registry, clsidText, clsidText); FAILED(hr)) return hr;
    }
    const std::optional<CLSID> clsid = ParseClsid(clsidText);
    if (!clsid) return CO_E_CLASSSTRING;

    const std::string classKey = Key("CLSID", clsidText);
    const RegistryFile* file = nullptr;
    if (const HRESULT hr = registry.Holder(classKey, file); FAILED(hr)) return hr;
    if (!file) return REGDB_E_CLASSNOTREG;
    std::string module = DefaultOf(*file, classKey + "\\InprocServer32");
    if (module.empty()) return REGDB_E_CLASSNOTREG;
    // A bare name would be searched for along the library path: only what was registered loads.
    if (module.front() != '/') return CO_E_DLLNOTFOUND;
    out = {*clsid, std::move(module)};
    return S_OK;
}

}  // namespace vexa::activation
