// The operating system's own version record, and the registry settings its description consults.
#include <windows.h>

#include <string_view>

#include "environment/client_description.h"
#include "platform/c_handle.h"

namespace vexa {

namespace {

using RegistryKey = CHandle<HKEY__, RegCloseKey>;

constexpr const char* kProductOptionsKey = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kHotfixKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
// ProductType is read into this many bytes; a longer value counts as unreadable.
constexpr DWORD kProductTypeCapacity = 256;

RegistryKey OpenMachineKey(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return nullptr;
    return RegistryKey(key);
}

std::optional<std::string> ReadProductType() {
    const RegistryKey key = OpenMachineKey(kProductOptionsKey);
    if (!key) return std::nullopt;
    char value[kProductTypeCapacity] = {};
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.get(), "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value is text up to its terminator, which a value of exactly the buffer's size lacks.
    const std::string_view text(value, size);
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace

OsVersionRecord HostOsVersionRecord() {
    OsVersionRecord record;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
            record.available = false;
            return record;
        }
        record.extended = false;
    }
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.build = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    record.servicePack = info.szCSDVersion;
    if (record.extended) {
        record.suiteMask = info.wSuiteMask;
        record.productType = info.wProductType;
    }
    return record;
}

OsRegistryFacts HostOsRegistryFacts() {
    OsRegistryFacts facts;
    facts.productType = ReadProductType();
    facts.hotfixQ246009 = OpenMachineKey(kHotfixKey) != nullptr;
    return facts;
}

}  // namespace vexa
