// Whether bytes are a picture, asked of this platform's decoder.
#pragma once

#include <cstdint>
#include <span>

namespace vexa {

// True when the bytes decode as a whole picture of a format we take, within the limits of
// picture_format.h. Nothing of the decoding is kept; std::bad_alloc when memory runs out.
bool DecodesAsPicture(std::span<const uint8_t> bytes);

}  // namespace vexa
