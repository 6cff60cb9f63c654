#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <fstream>

#include "platform/module_path.h"

namespace vexa {

namespace {

// The file mapped at address, from the process's memory map.
std::string MappedFile(const void* address) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        unsigned long begin = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &begin, &end) != 2 || at < begin || at >= end) continue;
        const size_t path = line.find('/');
        // A file replaced since it was loaded is no longer the module.
        if (path == std::string::npos || line.ends_with(" (deleted)")) return {};
        return line.substr(path);
    }
    return {};
}

}  // namespace

std::string ThisModulePath() {
    const void* self = reinterpret_cast<const void*>(&ThisModulePath);
    Dl_info info{};
    if (dladdr(self, &info) && info.dli_fname && info.dli_fname[0] == '/') return info.dli_fname;
    // A name relative to the directory the host was in when it loaded the module (which may have
    // changed since) or none at all: the memory map knows the file.
    return MappedFile(self);
}

}  // namespace vexa
