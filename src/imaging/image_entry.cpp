#include "imaging/image_entry.h"

#include <string_view>
#include <vector>

#include "automation/stream_reading.h"
#include "imaging/base64_lines.h"
#include "imaging/picture_check.h"
#include "imaging/picture_format.h"

namespace vexa {

namespace {

constexpr std::string_view kDataUriPrefix = "data:image/jpeg;base64,";

}  // namespace

std::string JpegDataUri(std::span<const uint8_t> jpeg) {
    std::string uri;
    uri.reserve(kDataUriPrefix.size() + Base64LinesLength(jpeg.size()) + 1);
    uri.append(kDataUriPrefix);
    Base64LinesAppend(jpeg, uri);
    return uri;
}

std::optional<ImageEntry> MakeEntryFromStream(IStream* stream) {
    if (!stream) return std::nullopt;
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return std::nullopt;
    std::vector<uint8_t> bytes;
    if (FAILED(ReadWholeStream(stream, bytes, kMaxPictureBytes)) || bytes.empty()) return std::nullopt;
    // Decoded only to know that it is a picture: the bytes travel unchanged.
    if (!DecodesAsPicture(bytes)) return std::nullopt;
    return ImageEntry{JpegDataUri(bytes), static_cast<LONG>(bytes.size())};
}

}  // namespace vexa
