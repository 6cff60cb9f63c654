// What Windows itself reports, through other calls than the component makes: the oracles of
// environment_checks.cpp, kept apart because the system's headers and the module's automation types
// cannot meet in one file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa::checks {

// This program's path and file name.
std::string OwnPath();
std::string OwnFileName();
std::string EnvironmentValue(const char* name);

// Runs this program again with the given arguments; what it printed, or nullopt when it could not
// be started or exited with a failure.
std::optional<std::string> RunSelf(const std::string& arguments);

// The hardware addresses of the adapters the IP helper lists, formatted as the component formats them.
std::vector<std::string> AdapterAddresses();

// The system's message text for code through FormatMessageW (no code-page conversion).
std::u16string SystemMessage(uint32_t code);
// The system's ANSI code page (1252 in a default prefix, 949 under a Korean locale).
unsigned AnsiCodePage();

// A module's version resource.
struct VersionResource {
    std::array<uint16_t, 4> fileVersion{};
    std::array<uint16_t, 4> productVersion{};
    bool isDll = false;
    std::vector<char> block;  // for VersionString
};
std::optional<VersionResource> ReadVersionResource(const std::string& path);
// A string of the U.S. English, Unicode table ("040904B0"); nullopt when it has none.
std::optional<std::string> VersionString(const VersionResource& resource, const std::string& name);

enum class Hive { kLocalMachine, kCurrentUser };

// A registry string value changed for the lifetime of the object; it has its old value (or none)
// again afterwards.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(Hive hive, std::string key, std::string name);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

    // Writes value (nullopt deletes it); true when it reads back so.
    bool Set(const std::optional<std::string>& value);

private:
    Hive hive_;
    std::string key_, name_;
    std::optional<std::string> saved_;
};

// Creates or deletes a key (without values or subkeys) under HKEY_LOCAL_MACHINE.
bool SetMachineKeyPresent(const std::string& key, bool present);

}  // namespace vexa::checks
