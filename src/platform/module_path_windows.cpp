#include <windows.h>

#include <vector>

#include "platform/module_path.h"
#include "platform/windows_text.h"

namespace vexa {

std::string ThisModulePath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&ThisModulePath), &self)) {
        return {};
    }
    // Long paths may exceed MAX_PATH: grow until the name fits.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return Utf8FromWide({path.data(), length});
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace vexa
