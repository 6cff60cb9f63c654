#include <cstdio>

#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {

namespace {

constexpr int kComponentVersion[] = {4, 2, 1, 0};

}  // namespace

std::string ComponentVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", kComponentVersion[0], kComponentVersion[1],
                  kComponentVersion[2], kComponentVersion[3]);
    return text;
}

std::string FormatHardwareAddress(const std::array<uint8_t, 6>& a) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

std::string_view FileNamePart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace vexa
