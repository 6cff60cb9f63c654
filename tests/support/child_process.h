// Running a piece of a test in a child process: environment changes and dropped privileges stay
// there. Registration is per user, and root registers machine wide, so as root the child becomes
// nobody when it must act as an ordinary user.
#pragma once

#include <filesystem>
#include <functional>
#include <sys/types.h>

#include "vexa/automation.h"

namespace vexa::test {

inline constexpr uid_t kNobody = 65534;

// Runs work in a forked child and gives back its HRESULT (E_UNEXPECTED when the child could not
// run it). With asUser, a root process's child first becomes nobody.
HRESULT InChildProcess(const std::function<HRESULT()>& work, bool asUser = false);

// The same as an ordinary user whose XDG_DATA_HOME is dataHome; as root, dataHome and everything
// in it is given to nobody first.
HRESULT AsRegistryUser(const std::filesystem::path& dataHome, const std::function<HRESULT()>& work);

}  // namespace vexa::test
