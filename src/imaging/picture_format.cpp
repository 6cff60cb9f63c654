#include "imaging/picture_format.h"

#include <algorithm>
#include <string_view>

namespace vexa {

namespace {

struct Signature {
    std::string_view magic;
    PictureFormat format;
};

using namespace std::string_view_literals;

constexpr Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n"sv, PictureFormat::kPng},
    {"\xFF\xD8\xFF"sv, PictureFormat::kJpeg},
    {"GIF87a"sv, PictureFormat::kGif},
    {"GIF89a"sv, PictureFormat::kGif},
    {"BM"sv, PictureFormat::kBmp},
    {"\0\0\1\0"sv, PictureFormat::kIco},
    {"II*\0"sv, PictureFormat::kTiff},
    {"MM\0*"sv, PictureFormat::kTiff},
};

}  // namespace

std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head) {
    for (const Signature& s : kSignatures) {
        if (head.size() >= s.magic.size() &&
            std::equal(s.magic.begin(), s.magic.end(), head.begin(),
                       [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; }))
            return s.format;
    }
    return std::nullopt;
}

const char* PixbufLoaderName(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng:
            return "png";
        case PictureFormat::kJpeg:
            return "jpeg";
        case PictureFormat::kGif:
            return "gif";
        case PictureFormat::kBmp:
            return "bmp";
        case PictureFormat::kIco:
            return "ico";
        case PictureFormat::kTiff:
            return "tiff";
    }
    return "";
}

}  // namespace vexa
