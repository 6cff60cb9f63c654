#include "imaging/jpeg_encoding.h"

namespace vexa {

namespace {

constexpr int kDefaultQuality = 75;  // libjpeg's own default

// c·a + 255·(255 − a), divided by 255 with rounding, for every colour of every alpha.
uint8_t Composite(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

}  // namespace

void FlattenOntoWhite(DecodedPicture& picture) {
    if (!picture.HasAlpha()) return;
    const int width = picture.Width();
    const int stride = picture.RowStride();
    uint8_t* row = picture.Pixels();
    for (int y = 0; y < picture.Height(); ++y, row += stride) {
        for (uint8_t* px = row; px < row + 4 * width; px += 4) {
            const uint8_t alpha = px[3];
            if (alpha == 255) continue;
            px[0] = Composite(px[0], alpha);
            px[1] = Composite(px[1], alpha);
            px[2] = Composite(px[2], alpha);
        }
    }
}

std::optional<JpegBytes> EncodeJpeg(DecodedPicture& picture) {
    FlattenOntoWhite(picture);
    const TurboJpegHandle compressor(tjInitCompress());
    if (!compressor) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int format = picture.Channels() == 4 ? TJPF_RGBX : TJPF_RGB;
    const int failed = tjCompress2(compressor.get(), picture.Pixels(), picture.Width(), picture.RowStride(),
                                   picture.Height(), format, &jpeg, &size, TJSAMP_420, kDefaultQuality, 0);
    JpegBytes bytes(jpeg, size);  // owns the buffer even when compression failed
    if (failed != 0 || size == 0) return std::nullopt;
    return bytes;
}

}  // namespace vexa
