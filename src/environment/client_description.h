// The texts with which the backends describe the client: the operating system and component
// version for the REST headers, and the machine, user and host program for the legacy login.
// Nothing here fails: a text that cannot be found comes out empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "environment/component_version.h"

namespace vexa {

inline constexpr const char* kComponentName = VEXA_COMPONENT_NAME;

// "4.2.1.0".
std::string ComponentVersionText();

// The operating-system version record the description is composed from.
struct OsVersionRecord {
    bool available = true;  // false: the platform gave no record at all
    bool extended = true;   // false: only the plain record (no suite mask, no product type)
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 0;  // 0 Win32s, 1 the 95/98/Me family, 2 the NT family
    std::string servicePack;
    uint16_t suiteMask = 0;
    uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
};

// The system settings the composition consults: the edition on the plain-record path, and the
// NT 4.0 hot fix that turns "Service Pack 6" into "Service Pack 6a".
struct OsRegistryFacts {
    std::optional<std::string> productType;  // ProductOptions\ProductType; nullopt: unreadable
    bool hotfixQ246009 = false;
};

// The composition rules, a pure function of the record (and, on the plain-record path, the
// registry facts).
std::string ComposeOsDescription(const OsVersionRecord& record, const OsRegistryFacts& registry);

// This host's record: the system's own on Windows; on Linux fed from uname and /etc/os-release.
OsVersionRecord HostOsVersionRecord();
// This host's settings: read from the registry on Windows; Linux has none.
OsRegistryFacts HostOsRegistryFacts();
// ComposeOsDescription of this host.
std::string DescribeOperatingSystem();

// The adapter's hardware address as "xx-xx-xx-xx-xx-xx", or empty: on Windows the first NetBIOS
// adapter's, on Linux the first non-loopback interface's.
std::string DescribeAdapterAddress();
std::string DescribeComputer();
std::string DescribeUser();
// The file-name part of the host program's executable path (FileNamePart).
std::string DescribeHostModule();

}  // namespace vexa
