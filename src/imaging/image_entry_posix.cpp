#include <vector>

#include "automation/stream_reading.h"
#include "imaging/decoded_picture.h"
#include "imaging/image_entry.h"
#include "imaging/jpeg_encoding.h"
#include "imaging/picture_format.h"

namespace vexa {

std::optional<ImageEntry> MakeEntryFromFile(const std::string& path) {
    std::optional<DecodedPicture> picture = DecodePictureFile(path);
    if (!picture) return std::nullopt;
    const std::optional<JpegBytes> jpeg = EncodeJpeg(*picture);
    if (!jpeg) return std::nullopt;
    picture.reset();  // the pixels are not needed for the text
    return ImageEntry{JpegDataUri(jpeg->View()), static_cast<LONG>(jpeg->View().size())};
}

std::optional<ImageEntry> MakeEntryFromStream(IStream* stream) {
    if (!stream) return std::nullopt;
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return std::nullopt;
    std::vector<uint8_t> bytes;
    if (FAILED(ReadWholeStream(stream, bytes, kMaxPictureBytes)) || bytes.empty()) return std::nullopt;
    // Decoded only to know that it is a picture: the bytes travel unchanged.
    if (!DecodePictureBytes(bytes)) return std::nullopt;
    return ImageEntry{JpegDataUri(bytes), static_cast<LONG>(bytes.size())};
}

}  // namespace vexa
