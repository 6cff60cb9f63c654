#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <memory>
#include <net/if.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "automation/text.h"
#include "environment/client_description.h"
#include "environment/description_parts.h"
#include "platform/c_handle.h"
#include "platform/effective_user.h"

namespace vexa {

namespace {

constexpr size_t kComputerNameCapacity = 1024;
// The executable path is read into a buffer of 2048 with room for the terminator.
constexpr size_t kModulePathLimit = 2047;

}  // namespace

std::string FirstAdapterAddress(const ifaddrs* list) {
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        if (entry->ifa_flags & IFF_LOOPBACK) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        std::array<uint8_t, 6> address;
        if (link->sll_halen != address.size()) continue;
        std::copy_n(link->sll_addr, address.size(), address.begin());
        if (std::all_of(address.begin(), address.end(), [](uint8_t b) { return b == 0; })) continue;
        return FormatHardwareAddress(address);
    }
    return {};
}

std::string DescribeAdapterAddress() {
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) return {};
    const CHandle<ifaddrs, freeifaddrs> list(raw);
    return FirstAdapterAddress(list.get());
}

std::string DescribeComputer() {
    char name[kComputerNameCapacity] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return Utf8ToLocal(name);
}

std::string DescribeUser() {
    const std::optional<EffectiveUser> user = EffectiveUserEntry();
    return user ? Utf8ToLocal(user->name) : std::string();
}

std::string DescribeHostModule() {
    char path[kModulePathLimit + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, kModulePathLimit);
    if (length <= 0) return {};
    return Utf8ToLocal(FileNamePart(std::string_view(path, static_cast<size_t>(length))));
}

}  // namespace vexa
