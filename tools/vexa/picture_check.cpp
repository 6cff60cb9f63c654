#include "picture_check.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/picture_format.h"

namespace vexa_cli {

namespace {

uint64_t BigEndian(std::span<const uint8_t> b, size_t at, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = v << 8 | b[at + i];
    return v;
}

uint64_t LittleEndian(std::span<const uint8_t> b, size_t at, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = v << 8 | b[at + i];
    return v;
}

// The first start-of-frame segment's height and width.
std::optional<PictureSize> JpegSize(std::span<const uint8_t> b) {
    size_t at = 2;
    while (at + 9 <= b.size()) {
        if (b[at] != 0xFF) return std::nullopt;
        const uint8_t marker = b[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) return PictureSize{BigEndian(b, at + 7, 2), BigEndian(b, at + 5, 2)};
        at += 2 + BigEndian(b, at + 2, 2);
    }
    return std::nullopt;
}

std::string Megabytes(uintmax_t bytes) { return std::to_string((bytes + (1u << 19)) >> 20) + " MiB"; }

}  // namespace

std::optional<PictureSize> DeclaredPictureSize(std::span<const uint8_t> b) {
    const std::optional<vexa::PictureFormat> format = vexa::PictureFormatOf(b);
    if (!format) return std::nullopt;
    switch (*format) {
        case vexa::PictureFormat::kPng:
            if (b.size() < 24) return std::nullopt;
            return PictureSize{BigEndian(b, 16, 4), BigEndian(b, 20, 4)};
        case vexa::PictureFormat::kGif:
            if (b.size() < 10) return std::nullopt;
            return PictureSize{LittleEndian(b, 6, 2), LittleEndian(b, 8, 2)};
        case vexa::PictureFormat::kBmp: {
            if (b.size() < 26) return std::nullopt;
            if (LittleEndian(b, 14, 4) == 12)
                return PictureSize{LittleEndian(b, 18, 2), LittleEndian(b, 20, 2)};
            // A negative height stores the rows top-down.
            const auto height = static_cast<int32_t>(LittleEndian(b, 22, 4));
            return PictureSize{
                static_cast<uint32_t>(LittleEndian(b, 18, 4)),
                height < 0 ? 0 - static_cast<uint64_t>(height) : static_cast<uint64_t>(height)};
        }
        case vexa::PictureFormat::kJpeg:
            return JpegSize(b);
        case vexa::PictureFormat::kIco:
        case vexa::PictureFormat::kTiff:
            break;
    }
    return std::nullopt;
}

std::string WhyPictureRefused(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) return "there is no such file";
    if (std::filesystem::is_directory(status)) return "it is a folder, not a file";
    const uintmax_t size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in) return "it cannot be read (check its permissions)";
    if (size == 0) return "the file is empty";
    if (size > vexa::kMaxPictureBytes)
        return "it is " + Megabytes(size) + ", over the " + Megabytes(vexa::kMaxPictureBytes) +
               " a picture file may have";
    // Enough for any header that declares a size (JPEG's may follow large metadata).
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uintmax_t>(size, 256 * 1024)));
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    if (!vexa::PictureFormatOf(head))
        return "it is not a picture in a format taken here (PNG, JPEG, GIF, BMP, ICO or TIFF)";
    if (const std::optional<PictureSize> declared = DeclaredPictureSize(head)) {
        if (declared->width * declared->height > vexa::kMaxPicturePixels)
            return "it is " + std::to_string(declared->width) + " x " + std::to_string(declared->height) +
                   " pixels, over the 100 megapixels a picture may have";
    }
    return "it is damaged or cut short";
}

}  // namespace vexa_cli
