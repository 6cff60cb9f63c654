// The machine, user and host program as Windows names them.
#include <windows.h>

#include <string>

#include "environment/client_description.h"

namespace vexa {

namespace {

constexpr DWORD kModulePathCapacity = 2048;

}  // namespace

// The adapter's address comes from NetBIOS, which is not asked yet: empty, as when it fails.
std::string DescribeAdapterAddress() { return {}; }

std::string DescribeComputer() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

std::string DescribeUser() {
    char name[256 + 1] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) && size > 0 ? std::string(name, size - 1) : std::string();
}

std::string DescribeHostModule() {
    char path[kModulePathCapacity] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, kModulePathCapacity);
    if (length == 0 || length >= kModulePathCapacity) return {};
    const std::string_view whole(path, length);
    const size_t slash = whole.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? whole : whole.substr(slash + 1));
}

}  // namespace vexa
