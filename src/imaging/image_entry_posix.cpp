#include "imaging/decoded_picture.h"
#include "imaging/image_entry.h"
#include "imaging/jpeg_encoding.h"
#include "imaging/picture_check.h"

namespace vexa {

std::optional<ImageEntry> MakeEntryFromFile(const std::string& path) {
    std::optional<DecodedPicture> picture = DecodePictureFile(path);
    if (!picture) return std::nullopt;
    const std::optional<JpegBytes> jpeg = EncodeJpeg(*picture);
    if (!jpeg) return std::nullopt;
    picture.reset();  // the pixels are not needed for the text
    return ImageEntry{JpegDataUri(jpeg->View()), static_cast<LONG>(jpeg->View().size())};
}

bool DecodesAsPicture(std::span<const uint8_t> bytes) { return DecodePictureBytes(bytes).has_value(); }

}  // namespace vexa
