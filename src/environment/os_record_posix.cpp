#include <fstream>
#include <sstream>
#include <string>
#include <sys/utsname.h>

#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {

namespace {

std::string ReadOsRelease() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream file(path, std::ios::binary);
        if (!file) continue;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    return {};
}

}  // namespace

OsVersionRecord HostOsVersionRecord() {
    utsname names{};
    const std::string release = uname(&names) == 0 ? names.release : "";
    return LinuxOsVersionRecord(release, ReadOsRelease());
}

OsRegistryFacts HostOsRegistryFacts() { return {}; }

}  // namespace vexa
