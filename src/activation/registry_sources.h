// The registry files hosts activate from, read afresh for each activation so that a registration
// made while a host runs is seen at its next one.
#pragma once

#include <filesystem>

#include "activation/class_resolution.h"

namespace vexa::activation {

// The per-user file and the machine-wide one, as they are now.
RegistryView ReadRegistries();

// Tests stand a file of their own in for the machine-wide one while this lives.
class ScopedMachineRegistry {
public:
    explicit ScopedMachineRegistry(std::filesystem::path file);
    ~ScopedMachineRegistry();
    ScopedMachineRegistry(const ScopedMachineRegistry&) = delete;
    ScopedMachineRegistry& operator=(const ScopedMachineRegistry&) = delete;
};

}  // namespace vexa::activation
