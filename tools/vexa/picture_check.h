// Why the component would not take a picture file, told from the file itself: the component
// answers only "not added".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace vexa_cli {

struct PictureSize {
    uint64_t width = 0, height = 0;
};

// The size a picture declares in its header (PNG, GIF, BMP, JPEG); none when it does not tell or
// the header is cut short.
std::optional<PictureSize> DeclaredPictureSize(std::span<const uint8_t> bytes);

// "there is no such file", "it is not a picture ...", "it is 12000 x 9000 pixels, over 100
// megapixels", ..., and "it is damaged or cut short" when nothing else explains it.
std::string WhyPictureRefused(const std::filesystem::path& file);

}  // namespace vexa_cli
