#include "activation/registry_sources.h"

#include <mutex>
#include <optional>
#include <utility>

#include "registry/registry_store.h"

namespace vexa::activation {

namespace {

std::mutex machineOverrideLock;
std::optional<std::filesystem::path> machineOverride;

std::filesystem::path MachineRegistry() {
    const std::lock_guard lock(machineOverrideLock);
    return machineOverride ? *machineOverride : RegistryPath(RegistryScope::kMachine);
}

RegistrySource Read(const std::filesystem::path& file) {
    RegistrySource source;
    // Without a home there is no per-user file, which is no failure: the machine's may serve.
    if (!file.empty()) source.status = ReadRegistry(file, source.file);
    return source;
}

}  // namespace

RegistryView ReadRegistries() {
    return RegistryView(Read(RegistryPath(RegistryScope::kUser)), Read(MachineRegistry()));
}

ScopedMachineRegistry::ScopedMachineRegistry(std::filesystem::path file) {
    const std::lock_guard lock(machineOverrideLock);
    machineOverride = std::move(file);
}

ScopedMachineRegistry::~ScopedMachineRegistry() {
    const std::lock_guard lock(machineOverrideLock);
    machineOverride.reset();
}

}  // namespace vexa::activation
