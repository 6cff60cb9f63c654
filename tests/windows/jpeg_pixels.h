// Reading a JPEG back with the system's decoder, for the Windows picture checks (kept apart from
// the module's automation types, which stand in for <windows.h>'s own).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa::test {

struct JpegLook {
    int width = 0, height = 0;
    uint8_t r = 0, g = 0, b = 0;  // the top-left pixel
};

// The bytes a Base64 text (line breaks allowed) encodes; empty when it is not Base64.
std::vector<uint8_t> Base64Bytes(const std::string& text);

// Nullopt when the bytes are not a JPEG that GDI+ decodes.
std::optional<JpegLook> LookAtJpeg(const std::vector<uint8_t>& jpeg);

}  // namespace vexa::test
