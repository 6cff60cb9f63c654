// Encoding decoded pixels as a baseline JPEG with TurboJPEG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "imaging/decoded_picture.h"
#include "imaging/turbojpeg_handle.h"

namespace vexa {

// JPEG bytes in TurboJPEG's own buffer.
class JpegBytes {
public:
    JpegBytes(uint8_t* data, size_t size) noexcept : data_(data), size_(size) {}
    std::span<const uint8_t> View() const { return {data_.get(), size_}; }

private:
    CHandle<uint8_t, tjFree> data_;
    size_t size_;
};

// Paints a picture with an alpha channel onto white, in place (FlattenPixelsOntoWhite).
void FlattenOntoWhite(DecodedPicture& picture);

// A baseline JPEG of the picture at the encoder's usual defaults (quality 75, 4:2:0), not scaled.
// A picture with alpha is flattened first. Nullopt if the encoder fails.
std::optional<JpegBytes> EncodeJpeg(DecodedPicture& picture);

}  // namespace vexa
