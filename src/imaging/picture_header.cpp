#include "imaging/picture_header.h"

#include <algorithm>
#include <cstdint>

#include "imaging/picture_structure.h"

namespace vexa {

using namespace structure;

namespace {

bool PngEnds(std::span<const uint8_t> bytes) {
    PngEndWatch watch;
    watch.Feed(bytes);
    return watch.Ended();
}

std::optional<DeclaredSize> JpegSize(const ByteReader& b) {
    const std::optional<size_t> frame = JpegSegment(b, true);
    if (!frame) return std::nullopt;
    // A height of 0 would come later in a DNL segment, which few decoders take: no size declared.
    return Sized(b.Be16(*frame + 7), b.Be16(*frame + 5));
}

bool JpegEnds(const ByteReader& b) {
    const std::optional<size_t> scan = JpegSegment(b, false);
    if (!scan) return false;
    const std::span<const uint8_t> rest = b.From(*scan);
    constexpr uint8_t kEnd[] = {0xFF, 0xD9};
    return std::search(rest.begin(), rest.end(), std::begin(kEnd), std::end(kEnd)) != rest.end();
}

bool BmpEnds(const ByteReader& b) {
    const std::optional<DibLayout> layout = ReadDib(b, 14);
    const std::optional<uint32_t> pixels = b.Le32(10);
    if (!layout || !pixels) return false;
    // Compressed rows (RLE, embedded JPEG or PNG) have no size known in advance.
    if (layout->compression != kBmpUncompressed && layout->compression != kBmpBitFields &&
        layout->compression != kBmpAlphaBitFields)
        return true;
    const uint64_t rowBytes = DibRowBytes(layout->size.width, layout->bitsPerPixel);
    if (rowBytes > b.Size()) return false;
    return *pixels + rowBytes * layout->size.height <= b.Size();
}

std::optional<DeclaredSize> IcoSize(const ByteReader& b) {
    std::optional<DeclaredSize> largest;
    const bool read = ForEachIcon(b, [&](const IconEntry& icon) {
        std::optional<DeclaredSize> size = DeclaredSize{icon.width, icon.height};
        if (b.Matches(icon.offset, kPngSignature)) size = PngSize(ByteReader(b.From(icon.offset)));
        if (!size) return false;
        if (!largest || Area(*size) > Area(*largest)) largest = size;
        return true;
    });
    return read ? largest : std::nullopt;
}

bool IcoEnds(const ByteReader& b) {
    return ForEachIcon(b, [&](const IconEntry& icon) { return b.Has(icon.offset, icon.bytes); });
}

// ---- TIFF: byte order, 42, the first directory's offset; a directory is a count and 12-byte
// entries (tag, type, count, value), width 256 and height 257 as SHORT (3) or LONG (4).

std::optional<DeclaredSize> TiffSize(const ByteReader& b) {
    const bool big = b.Matches(0, "MM");
    const std::optional<uint32_t> directory = b.Read(4, 4, big);
    if (!directory) return std::nullopt;
    const std::optional<uint32_t> count = b.Read(*directory, 2, big);
    if (!count) return std::nullopt;
    std::optional<uint32_t> width, height;
    for (uint32_t i = 0; i < *count; ++i) {
        const uint64_t entry = *directory + 2 + 12 * uint64_t{i};
        const std::optional<uint32_t> tag = b.Read(entry, 2, big), type = b.Read(entry + 2, 2, big);
        if (!tag || !type) return std::nullopt;
        if (*tag != 256 && *tag != 257) continue;
        const std::optional<uint32_t> value = b.Read(entry + 8, *type == 3 ? 2 : 4, big);
        if (*type != 3 && *type != 4) return std::nullopt;
        (*tag == 256 ? width : height) = value;
    }
    return Sized(width, height);
}

}  // namespace

std::optional<DeclaredSize> DeclaredPictureSize(PictureFormat format, std::span<const uint8_t> bytes) {
    const ByteReader b(bytes);
    switch (format) {
        case PictureFormat::kPng:
            return PngSize(b);
        case PictureFormat::kJpeg:
            return JpegSize(b);
        case PictureFormat::kGif: {
            const std::optional<GifWalk> walk = WalkGif(b);
            if (!walk) return std::nullopt;
            return walk->size;
        }
        case PictureFormat::kBmp: {
            const std::optional<DibLayout> layout = ReadDib(b, 14);
            if (!layout) return std::nullopt;
            return layout->size;
        }
        case PictureFormat::kIco:
            return IcoSize(b);
        case PictureFormat::kTiff:
            return TiffSize(b);
    }
    return std::nullopt;
}

bool ReachesItsEnd(PictureFormat format, std::span<const uint8_t> bytes) {
    const ByteReader b(bytes);
    switch (format) {
        case PictureFormat::kPng:
            return PngEnds(bytes);
        case PictureFormat::kJpeg:
            return JpegEnds(b);
        case PictureFormat::kGif: {
            const std::optional<GifWalk> walk = WalkGif(b);
            return walk && walk->ended;
        }
        case PictureFormat::kBmp:
            return BmpEnds(b);
        case PictureFormat::kIco:
            return IcoEnds(b);
        case PictureFormat::kTiff:
            return true;
    }
    return false;
}

void PngEndWatch::Feed(std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size() && !ended_;) {
        const uint64_t at = seen_ + i;
        if (at < next_) {  // inside a chunk's data
            i += static_cast<size_t>(std::min<uint64_t>(next_ - at, bytes.size() - i));
            continue;
        }
        header_[gathered_++] = bytes[i++];
        if (gathered_ < sizeof header_) continue;
        const uint64_t length = ByteReader(header_).Be32(0).value_or(0);
        ended_ = ByteReader(header_).Matches(4, "IEND");
        next_ += 12 + length;  // length, type, data, CRC
        gathered_ = 0;
    }
    seen_ += bytes.size();
}

bool PassesPictureChecks(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxPictureBytes) return false;
    const std::optional<PictureFormat> format = PictureFormatOf(bytes);
    if (!format) return false;
    return HeaderHoldsTogether(*format, bytes, bytes.size()) && ReachesItsEnd(*format, bytes);
}

}  // namespace vexa
