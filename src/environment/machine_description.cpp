#include <cstdio>

#include "environment/client_description.h"
#include "environment/component_version.h"
#include "environment/description_parts.h"

namespace vexa {

std::string ComponentVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", VEXA_VERSION_MAJOR, VEXA_VERSION_MINOR,
                  VEXA_VERSION_PATCH, VEXA_VERSION_TWEAK);
    return text;
}

std::string FormatHardwareAddress(const std::array<uint8_t, 6>& a) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

std::string_view FileNamePart(std::string_view path, char separator) {
    const size_t last = path.rfind(separator);
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

}  // namespace vexa
