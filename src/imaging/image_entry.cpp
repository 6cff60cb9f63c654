#include "imaging/image_entry.h"

#include <string_view>

#include "imaging/base64_lines.h"

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

}  // namespace vexa
