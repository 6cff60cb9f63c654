// The texts with which the backends describe the client: the operating system and component
// version for the REST headers, and the machine, user and host program for the legacy login.
// Nothing here fails: a text that cannot be found comes out empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexa {

inline constexpr const char* kComponentName = "Vexa Component";

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

// The system settings the plain-record path consults.
struct OsRegistryFacts {
    std::optional<std::string> productType;  // ProductOptions\ProductType; nullopt: unreadable
    bool hotfixQ246009 = false;
};

// The composition rules, a pure function of the record (and, on the plain-record path, the
// registry facts).
std::string ComposeOsDescription(const OsVersionRecord& record, const OsRegistryFacts& registry);

// This host's record: fed from uname and /etc/os-release.
OsVersionRecord HostOsVersionRecord();
// ComposeOsDescription of this host.
std::string DescribeOperatingSystem();

// The first non-loopback interface's hardware address as "xx-xx-xx-xx-xx-xx", or empty.
std::string DescribeAdapterAddress();
std::string DescribeComputer();
std::string DescribeUser();
// The file-name part of the host program's executable path.
std::string DescribeHostModule();

}  // namespace vexa
