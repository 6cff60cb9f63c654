#include "child_process.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa::test {

HRESULT InChildProcess(const std::function<HRESULT()>& work, bool asUser) {
    int channel[2];
    if (pipe(channel) != 0) return E_UNEXPECTED;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        HRESULT hr = E_UNEXPECTED;
        if (!asUser || geteuid() != 0 || (setgid(kNobody) == 0 && setuid(kNobody) == 0)) hr = work();
        const bool sent = write(channel[1], &hr, sizeof hr) == sizeof hr;
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    HRESULT hr = E_UNEXPECTED;
    if (child < 0 || read(channel[0], &hr, sizeof hr) != sizeof hr) hr = E_UNEXPECTED;
    close(channel[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return hr;
}

HRESULT AsRegistryUser(const std::filesystem::path& dataHome, const std::function<HRESULT()>& work) {
    if (geteuid() == 0) {
        for (const auto& item : std::filesystem::recursive_directory_iterator(dataHome))
            if (lchown(item.path().c_str(), kNobody, kNobody) != 0) return E_UNEXPECTED;
        if (lchown(dataHome.c_str(), kNobody, kNobody) != 0) return E_UNEXPECTED;
    }
    return InChildProcess(
        [&] { return setenv("XDG_DATA_HOME", dataHome.c_str(), 1) == 0 ? work() : E_UNEXPECTED; }, true);
}

}  // namespace vexa::test
