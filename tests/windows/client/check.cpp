#include "check.h"

#include <cstdio>

namespace host {

namespace {
int failures = 0;
}

int Failures() { return failures; }

void Check(std::string_view name, bool ok, std::string_view detail) {
    if (ok) {
        std::printf("PASS %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
        ++failures;
        std::printf("FAIL %.*s: %.*s\n", static_cast<int>(name.size()), name.data(),
                    static_cast<int>(detail.size()), detail.data());
    }
    std::fflush(stdout);
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace host
