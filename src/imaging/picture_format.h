// Which picture formats we take, told by their first bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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
// among them) is not taken.
std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head);

// The name of gdk-pixbuf's loader for the format.
const char* PixbufLoaderName(PictureFormat format);

}  // namespace vexa
