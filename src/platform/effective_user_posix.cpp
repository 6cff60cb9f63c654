#include <cerrno>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "platform/effective_user.h"

namespace vexa {

std::optional<EffectiveUser> EffectiveUserEntry() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    int error;
    // The suggestion is only a hint: a long entry asks for more room.
    while ((error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (size_t{1} << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0 || found == nullptr) return std::nullopt;
    return EffectiveUser{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
}

}  // namespace vexa
