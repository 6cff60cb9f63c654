// Decoding JPEG bytes with TurboJPEG.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "imaging/decoded_picture.h"

namespace vexa {

// RGB pixels of a JPEG (grey, colour, CMYK or YCCK). Nullopt for a damaged or cut-short JPEG, or
// one that declares more than kMaxPicturePixels pixels (checked before decoding).
std::optional<DecodedPicture> DecodeJpeg(std::span<const uint8_t> jpeg);

}  // namespace vexa
