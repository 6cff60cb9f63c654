#include <cstring>
#include <memory>

#include "imaging/jpeg_decoding.h"
#include "imaging/picture_format.h"
#include "imaging/turbojpeg_handle.h"

namespace vexa {

namespace {

// libjpeg patches over missing data and only warns; a picture with holes is not taken. Other
// warnings (stray bytes between segments, say) leave a whole picture and are common in camera
// files.
bool Unusable(tjhandle handle) {
    if (tjGetErrorCode(handle) != TJERR_WARNING) return true;
    const char* text = tjGetErrorStr2(handle);
    return text && strcasestr(text, "premature end") != nullptr;
}

// Adobe's convention, which CMYK JPEGs follow: the stored values are inverted ink.
void CmykToRgbx(uint8_t* pixels, size_t count) {
    for (uint8_t* px = pixels; px < pixels + 4 * count; px += 4) {
        const unsigned k = px[3];
        px[0] = static_cast<uint8_t>((px[0] * k + 127) / 255);
        px[1] = static_cast<uint8_t>((px[1] * k + 127) / 255);
        px[2] = static_cast<uint8_t>((px[2] * k + 127) / 255);
    }
}

}  // namespace

std::optional<DecodedPicture> DecodeJpeg(std::span<const uint8_t> jpeg) {
    const TurboJpegHandle handle(tjInitDecompress());
    if (!handle) return std::nullopt;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                            &colourspace) != 0)
        return std::nullopt;
    if (width <= 0 || height <= 0 ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPicturePixels)
        return std::nullopt;

    // TurboJPEG turns CMYK into nothing else; the conversion to RGB is ours.
    const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
    const int format = cmyk ? TJPF_CMYK : TJPF_RGB;
    DecodedPicture::Layout layout{width, height, width * tjPixelSize[format], tjPixelSize[format], false};
    const std::shared_ptr<void> owner(tjAlloc(layout.rowStride * height), tjFree);
    auto* pixels = static_cast<uint8_t*>(owner.get());
    if (!pixels) return std::nullopt;
    if (tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), pixels, width, layout.rowStride, height, format,
                      0) != 0 &&
        Unusable(handle.get()))
        return std::nullopt;
    if (cmyk) CmykToRgbx(pixels, static_cast<size_t>(width) * height);
    return DecodedPicture(layout, pixels, owner);
}

}  // namespace vexa
