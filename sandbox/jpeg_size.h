// The pixel size of a JPEG, read from its frame header, for pages that show pictures at their
// natural size.
#pragma once

#include <optional>
#include <string_view>

namespace vexa::sandbox {

struct PixelSize {
    int width = 0;
    int height = 0;
};

// Nullopt when the bytes are not a JPEG whose markers lead to a frame header (SOF0 to SOF15, bar
// the ones that are not frames) before the image data.
std::optional<PixelSize> JpegPixelSize(std::string_view jpeg);

}  // namespace vexa::sandbox
