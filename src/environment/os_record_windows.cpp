// The operating system's own version record.
#include <windows.h>

#include "environment/client_description.h"

namespace vexa {

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

}  // namespace vexa
