// Profiles: named sets of connection settings kept in $XDG_CONFIG_HOME/vexa/config.toml (by
// default ~/.config/vexa/config.toml), so that a user need not export the same variables in every
// shell. The file is a small TOML document, one table per profile:
//
//     [default]
//     endpoint = "https://127.0.0.1:8443"
//     user = "kim"
//     cacert = "/home/kim/sandbox/cert.pem"
//     password_file = "/home/kim/.config/vexa/kim.password"
//
// Command-line options win over environment variables, which win over the profile.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "command_request.h"

namespace vexa_cli {

using Profile = std::map<std::string, std::string>;  // key -> value
using Profiles = std::map<std::string, Profile>;     // name -> profile

inline constexpr const char* kDefaultProfile = "default";

// The keys a profile may hold, as `vexa config` names them, each with what it stands for.
struct ProfileKey {
    const char* key;
    const char* help;
};
extern const ProfileKey kProfileKeys[6];

// Empty when neither XDG_CONFIG_HOME nor HOME is set.
std::filesystem::path ProfileFilePath();

// UsageError naming the file and line for what is not understood.
Profiles ParseProfiles(std::string_view text, const std::string& fileName);
std::string FormatProfiles(const Profiles& profiles);

// A missing file holds no profiles.
Profiles LoadProfiles(const std::filesystem::path& file);
// Written whole through a temporary file, in a folder only the user may enter.
void SaveProfiles(const std::filesystem::path& file, const Profiles& profiles);

// The first line of a password file, which others may not read (mode 0600 or stricter).
std::string ReadPasswordFile(const std::filesystem::path& file);

// Fills what the command line and the environment left empty from the profile `name` (the
// default profile when `name` is empty and there is one). A named profile that does not exist is
// a UsageError.
void ApplyProfile(RawOptions& raw, const std::string& name, const std::filesystem::path& file);

}  // namespace vexa_cli
