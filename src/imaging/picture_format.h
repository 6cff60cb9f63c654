// Which picture formats we take, told by their first bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vexa {

// Hostile pictures are refused before they are decoded: a file or stream above this size, or a
// picture whose declared size is above this many pixels.
inline constexpr size_t kMaxPictureBytes = 64u << 20;
inline constexpr uint64_t kMaxPicturePixels = 100'000'000;

// Enough of a picture's start to tell its format.
inline constexpr size_t kPictureSignatureBytes = 8;

enum class PictureFormat { kPng, kJpeg, kGif, kBmp, kIco, kTiff };

// The format of a picture that starts with these bytes: PNG, JPEG, GIF, BMP, ICO or TIFF, the
// formats a desktop decoder reads. Anything else (SVG, which may reach out to other resources,
// among them) is not taken. Header-only, so that a host explaining a refusal applies the same rule.
constexpr std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head) {
    using namespace std::string_view_literals;
    constexpr struct {
        std::string_view magic;
        PictureFormat format;
    } kSignatures[] = {
        {"\x89PNG\r\n\x1a\n"sv, PictureFormat::kPng},
        {"\xFF\xD8\xFF"sv, PictureFormat::kJpeg},
        {"GIF87a"sv, PictureFormat::kGif},
        {"GIF89a"sv, PictureFormat::kGif},
        {"BM"sv, PictureFormat::kBmp},
        {"\0\0\1\0"sv, PictureFormat::kIco},
        {"II*\0"sv, PictureFormat::kTiff},
        {"MM\0*"sv, PictureFormat::kTiff},
    };
    for (const auto& s : kSignatures) {
        if (head.size() >= s.magic.size() &&
            std::equal(s.magic.begin(), s.magic.end(), head.begin(),
                       [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; }))
            return s.format;
    }
    return std::nullopt;
}

// The name of gdk-pixbuf's loader for the format.
const char* PixbufLoaderName(PictureFormat format);

}  // namespace vexa
