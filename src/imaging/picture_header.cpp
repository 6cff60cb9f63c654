#include "imaging/picture_header.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace vexa {

namespace {

// Bounds-checked reads; a read past the end gives nullopt.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Size() const { return bytes_.size(); }
    bool Has(size_t at, size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
    std::optional<uint32_t> U8(size_t at) const { return Read(at, 1, false); }
    std::optional<uint32_t> Le16(size_t at) const { return Read(at, 2, false); }
    std::optional<uint32_t> Le32(size_t at) const { return Read(at, 4, false); }
    std::optional<uint32_t> Be16(size_t at) const { return Read(at, 2, true); }
    std::optional<uint32_t> Be32(size_t at) const { return Read(at, 4, true); }
    std::optional<uint32_t> Read(size_t at, size_t n, bool bigEndian) const {
        if (!Has(at, n)) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t byte = bytes_[bigEndian ? at + i : at + n - 1 - i];
            value = value << 8 | byte;
        }
        return value;
    }
    bool Matches(size_t at, std::string_view text) const {
        return Has(at, text.size()) &&
               std::equal(text.begin(), text.end(), bytes_.begin() + at,
                          [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
    }
    std::span<const uint8_t> From(size_t at) const { return bytes_.subspan(std::min(at, bytes_.size())); }

private:
    std::span<const uint8_t> bytes_;
};

// width × height, or the largest value where that does not fit.
uint64_t Area(const DeclaredSize& size) {
    if (size.width != 0 && size.height > UINT64_MAX / size.width) return UINT64_MAX;
    return size.width * size.height;
}

std::optional<DeclaredSize> Sized(std::optional<uint32_t> width, std::optional<uint32_t> height) {
    if (!width || !height || *width == 0 || *height == 0) return std::nullopt;
    return DeclaredSize{*width, *height};
}

// ---- PNG: the signature, then chunks (length, type, data, CRC); IHDR first.

std::optional<DeclaredSize> PngSize(const Bytes& b) {
    if (!b.Matches(12, "IHDR")) return std::nullopt;
    return Sized(b.Be32(16), b.Be32(20));
}

bool PngEnds(std::span<const uint8_t> bytes) {
    PngEndWatch watch;
    watch.Feed(bytes);
    return watch.Ended();
}

// ---- JPEG: segments (FF marker, 16-bit length that counts itself) up to the first scan, then
// entropy-coded data in which FF is followed only by 00 or a restart marker.

bool IsFrameMarker(uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The offset of the first scan's header (its marker), or of the frame header when frameOnly;
// nullopt when the segments run out first.
std::optional<size_t> JpegSegment(const Bytes& b, bool frameOnly) {
    size_t at = 2;
    while (true) {
        const std::optional<uint32_t> ff = b.U8(at);
        if (!ff || *ff != 0xFF) return std::nullopt;
        const std::optional<uint32_t> marker = b.U8(at + 1);
        if (!marker) return std::nullopt;
        if (*marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (*marker == 0xD9) return std::nullopt;  // the end before any scan
        if (frameOnly ? IsFrameMarker(*marker) : *marker == 0xDA) return at;
        const std::optional<uint32_t> length = b.Be16(at + 2);
        if (!length || *length < 2) return std::nullopt;
        at += 2 + *length;
    }
}

std::optional<DeclaredSize> JpegSize(const Bytes& b) {
    const std::optional<size_t> frame = JpegSegment(b, true);
    if (!frame) return std::nullopt;
    // A height of 0 would come later in a DNL segment, which few decoders take: no size declared.
    return Sized(b.Be16(*frame + 7), b.Be16(*frame + 5));
}

bool JpegEnds(const Bytes& b) {
    const std::optional<size_t> scan = JpegSegment(b, false);
    if (!scan) return false;
    const std::span<const uint8_t> rest = b.From(*scan);
    constexpr uint8_t kEnd[] = {0xFF, 0xD9};
    return std::search(rest.begin(), rest.end(), std::begin(kEnd), std::end(kEnd)) != rest.end();
}

// ---- GIF: screen descriptor, optional global colour table, then blocks: extensions (21) and
// images (2C), each followed by data sub-blocks, up to the trailer (3B).

// Past the data sub-blocks that start at at; nullopt when they run past the end.
std::optional<size_t> PastSubBlocks(const Bytes& b, size_t at) {
    while (true) {
        const std::optional<uint32_t> n = b.U8(at);
        if (!n) return std::nullopt;
        at += 1 + *n;
        if (*n == 0) return at;
    }
}

size_t ColourTableBytes(uint32_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

struct GifWalk {
    DeclaredSize size;
    bool ended = false;  // the trailer was reached
};

// The screen and every frame's extent, walking the blocks as far as the bytes reach.
std::optional<GifWalk> WalkGif(const Bytes& b) {
    const std::optional<DeclaredSize> screen = Sized(b.Le16(6), b.Le16(8));
    const std::optional<uint32_t> flags = b.U8(10);
    if (!screen || !flags) return std::nullopt;
    GifWalk walk{*screen};
    size_t at = 13 + ColourTableBytes(*flags);
    while (const std::optional<uint32_t> kind = b.U8(at)) {
        if (*kind == 0x3B) {
            walk.ended = true;
            break;
        }
        std::optional<size_t> next;
        if (*kind == 0x21) {
            next = PastSubBlocks(b, at + 2);
        } else if (*kind == 0x2C) {
            const std::optional<uint32_t> left = b.Le16(at + 1), top = b.Le16(at + 3), width = b.Le16(at + 5),
                                          height = b.Le16(at + 7), local = b.U8(at + 9);
            if (!local) break;
            walk.size.width = std::max<uint64_t>(walk.size.width, *left + *width);
            walk.size.height = std::max<uint64_t>(walk.size.height, *top + *height);
            next = PastSubBlocks(b, at + 10 + ColourTableBytes(*local) + 1);  // after the LZW code size
        } else {
            break;  // not a block: damaged
        }
        if (!next) break;
        at = *next;
    }
    return walk;
}

// ---- BMP: file header (14 bytes), then an info header whose first field is its own size.

struct BmpLayout {
    DeclaredSize size;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;
};

std::optional<BmpLayout> ReadBmp(const Bytes& b) {
    const std::optional<uint32_t> header = b.Le32(14);
    if (!header) return std::nullopt;
    if (*header == 12) {  // the old core header: 16-bit sizes
        const std::optional<DeclaredSize> size = Sized(b.Le16(18), b.Le16(20));
        const std::optional<uint32_t> bits = b.Le16(24);
        if (!size || !bits) return std::nullopt;
        return BmpLayout{*size, *bits, 0};
    }
    const std::optional<uint32_t> width = b.Le32(18), height = b.Le32(22), bits = b.Le16(28),
                                  compression = b.Le32(30);
    if (*header < 40 || !width || !height || !bits || !compression) return std::nullopt;
    // Signed: a negative height stores the rows top down.
    const int64_t w = static_cast<int32_t>(*width), h = static_cast<int32_t>(*height);
    if (w <= 0 || h == 0) return std::nullopt;
    return BmpLayout{{static_cast<uint64_t>(w), static_cast<uint64_t>(h < 0 ? -h : h)}, *bits, *compression};
}

bool BmpEnds(const Bytes& b) {
    const std::optional<BmpLayout> layout = ReadBmp(b);
    const std::optional<uint32_t> pixels = b.Le32(10);
    if (!layout || !pixels) return false;
    // Compressed rows (RLE, embedded JPEG or PNG) have no size known in advance.
    constexpr uint32_t kUncompressed = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (layout->compression != kUncompressed && layout->compression != kBitFields &&
        layout->compression != kAlphaBitFields)
        return true;
    const uint64_t rowBytes = (layout->size.width * layout->bitsPerPixel + 31) / 32 * 4;
    if (rowBytes > b.Size()) return false;
    return *pixels + rowBytes * layout->size.height <= b.Size();
}

// ---- ICO and CUR: a directory of 16-byte entries (width and height bytes, 0 meaning 256; the
// image's size and offset), each image a BMP without its file header or a whole PNG.

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

template <typename Visit>
bool ForEachIcon(const Bytes& b, Visit visit) {
    const std::optional<uint32_t> count = b.Le16(4);
    if (!count || *count == 0) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        const std::optional<uint32_t> width = b.U8(entry), height = b.U8(entry + 1),
                                      bytes = b.Le32(entry + 8), offset = b.Le32(entry + 12);
        if (!offset) return false;
        if (!visit(*width ? *width : 256, *height ? *height : 256, *bytes, *offset)) return false;
    }
    return true;
}

std::optional<DeclaredSize> IcoSize(const Bytes& b) {
    std::optional<DeclaredSize> largest;
    const bool read = ForEachIcon(b, [&](uint32_t width, uint32_t height, uint32_t, uint32_t offset) {
        std::optional<DeclaredSize> size = DeclaredSize{width, height};
        if (b.Matches(offset, kPngSignature)) size = PngSize(Bytes(b.From(offset)));
        if (!size) return false;
        if (!largest || Area(*size) > Area(*largest)) largest = size;
        return true;
    });
    return read ? largest : std::nullopt;
}

bool IcoEnds(const Bytes& b) {
    return ForEachIcon(
        b, [&](uint32_t, uint32_t, uint32_t bytes, uint32_t offset) { return b.Has(offset, bytes); });
}

// ---- TIFF: byte order, 42, the first directory's offset; a directory is a count and 12-byte
// entries (tag, type, count, value), width 256 and height 257 as SHORT (3) or LONG (4).

std::optional<DeclaredSize> TiffSize(const Bytes& b) {
    const bool big = b.Matches(0, "MM");
    const std::optional<uint32_t> directory = b.Read(4, 4, big);
    if (!directory) return std::nullopt;
    const std::optional<uint32_t> count = b.Read(*directory, 2, big);
    if (!count) return std::nullopt;
    std::optional<uint32_t> width, height;
    for (uint32_t i = 0; i < *count; ++i) {
        const size_t entry = *directory + 2 + 12 * size_t{i};
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
    const Bytes b(bytes);
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
            const std::optional<BmpLayout> layout = ReadBmp(b);
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
    const Bytes b(bytes);
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
        const uint64_t length = Bytes(header_).Be32(0).value_or(0);
        ended_ = Bytes(header_).Matches(4, "IEND");
        next_ += 12 + length;  // length, type, data, CRC
        gathered_ = 0;
    }
    seen_ += bytes.size();
}

bool PassesPictureChecks(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxPictureBytes) return false;
    const std::optional<PictureFormat> format = PictureFormatOf(bytes);
    if (!format) return false;
    const std::optional<DeclaredSize> size = DeclaredPictureSize(*format, bytes);
    return size && Area(*size) <= kMaxPicturePixels && ReachesItsEnd(*format, bytes);
}

}  // namespace vexa
