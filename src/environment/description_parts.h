// The pure pieces the host descriptions are made of, apart from the system calls that feed them
// so they can be checked with fixed inputs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "environment/client_description.h"

struct ifaddrs;

namespace vexa {

// The version record a Linux host reports, from the kernel release ("6.1.0-18-amd64") and the
// text of its os-release file. It describes Linux in the service-pack text and carries no
// Windows product or edition, so its composition never claims to be Windows.
OsVersionRecord LinuxOsVersionRecord(std::string_view kernelRelease, std::string_view osRelease);

// "xx-xx-xx-xx-xx-xx", lower-case.
std::string FormatHardwareAddress(const std::array<uint8_t, 6>& address);
// The hardware address of the first interface in the list that is not loopback and has a
// non-zero six-byte link-layer address, or empty.
std::string FirstAdapterAddress(const ifaddrs* list);

// The separator of the paths the system gives for its programs.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// What follows the last separator, or the whole path when it has none.
std::string_view FileNamePart(std::string_view path, char separator = kPathSeparator);

}  // namespace vexa
