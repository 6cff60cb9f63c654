#include "imaging/flatten.h"
#include "imaging/jpeg_encoding.h"

namespace vexa {

namespace {

constexpr int kDefaultQuality = 75;  // libjpeg's own default

}  // namespace

void FlattenOntoWhite(DecodedPicture& picture) {
    if (!picture.HasAlpha()) return;
    uint8_t* row = picture.Pixels();
    for (int y = 0; y < picture.Height(); ++y, row += picture.RowStride())
        FlattenPixelsOntoWhite(std::span(row, 4 * static_cast<size_t>(picture.Width())));
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
