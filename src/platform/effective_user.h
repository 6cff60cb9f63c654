// The passwd entry of the user the process runs as.
#pragma once

#include <optional>
#include <string>

namespace vexa {

struct EffectiveUser {
    std::string name;  // as the system holds it (UTF-8 here)
    std::string home;  // may be empty or relative: the caller decides what it trusts
};

// Nullopt when the system has no entry for the effective user ID.
std::optional<EffectiveUser> EffectiveUserEntry();

}  // namespace vexa
