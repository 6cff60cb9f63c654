// From the text a host names a class by to the module that serves it, through the registry's keys:
// version-independent ProgID -> CurVer -> ProgID -> CLSID -> InprocServer32.
#pragma once

#include <string>
#include <string_view>

#include "registry/registry_file.h"
#include "vexa/automation.h"

namespace vexa::activation {

// One registry file as read: its keys, or why it could not be read.
struct RegistrySource {
    RegistryFile file;
    HRESULT status = S_OK;
};

// The registry hosts see: the per-user file over the machine-wide one. A ProgID or a class the
// user's file registers is taken from it whole, subkeys and all, so that no half of a user's
// registration combines with the other half of the machine's.
class RegistryView {
public:
    RegistryView(RegistrySource user, RegistrySource machine);
    // The first file that holds the key; null when neither does. A file that could not be read
    // fails every lookup that reaches it, with its reason: what it might hold is unknown, and a
    // guess would load the wrong module.
    HRESULT Holder(std::string_view key, const RegistryFile*& file) const;

private:
    RegistrySource user_;
    RegistrySource machine_;
};

struct ResolvedClass {
    CLSID clsid{};
    std::string modulePath;
};

// CO_E_CLASSSTRING for an unknown ProgID or a malformed CLSID (given, or under a ProgID);
// REGDB_E_CLASSNOTREG for a CLSID without a key or without an InprocServer32 path;
// CO_E_DLLNOTFOUND for a path that is not absolute; a registry file's own failure.
HRESULT ResolveClass(const RegistryView& registry, std::string_view text, ResolvedClass& out);

}  // namespace vexa::activation
