#include "imaging/picture_structure.h"

#include <algorithm>

namespace vexa::structure {

std::optional<DeclaredSize> Sized(std::optional<uint32_t> width, std::optional<uint32_t> height) {
    if (!width || !height || *width == 0 || *height == 0) return std::nullopt;
    return DeclaredSize{*width, *height};
}

uint64_t Area(const DeclaredSize& size) {
    if (size.width != 0 && size.height > UINT64_MAX / size.width) return UINT64_MAX;
    return size.width * size.height;
}

std::optional<DeclaredSize> PngSize(const ByteReader& b) {
    if (!b.Matches(12, "IHDR")) return std::nullopt;
    return Sized(b.Be32(16), b.Be32(20));
}

namespace {

bool IsFrameMarker(uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Past the data sub-blocks that start at at; nullopt when they run past the end.
std::optional<uint64_t> PastSubBlocks(const ByteReader& b, uint64_t at) {
    while (true) {
        const std::optional<uint32_t> n = b.U8(at);
        if (!n) return std::nullopt;
        at += 1 + *n;
        if (*n == 0) return at;
    }
}

uint64_t ColourTableBytes(uint32_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

}  // namespace

std::optional<size_t> JpegSegment(const ByteReader& b, bool frameOnly) {
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

std::optional<GifWalk> WalkGif(const ByteReader& b) {
    const std::optional<DeclaredSize> screen = Sized(b.Le16(6), b.Le16(8));
    const std::optional<uint32_t> flags = b.U8(10);
    if (!screen || !flags) return std::nullopt;
    GifWalk walk{*screen};
    uint64_t at = 13 + ColourTableBytes(*flags);
    while (const std::optional<uint32_t> kind = b.U8(at)) {
        if (*kind == 0x3B) {
            walk.ended = true;
            break;
        }
        std::optional<uint64_t> next;
        if (*kind == 0x21) {
            next = PastSubBlocks(b, at + 2);
        } else if (*kind == 0x2C) {
            const std::optional<uint32_t> left = b.Le16(at + 1), top = b.Le16(at + 3), width = b.Le16(at + 5),
                                          height = b.Le16(at + 7), local = b.U8(at + 9);
            if (!local) break;
            walk.framed = true;
            walk.size.width = std::max<uint64_t>(walk.size.width, *left + *width);
            walk.size.height = std::max<uint64_t>(walk.size.height, *top + *height);
            const uint64_t codeSizeAt = at + 10 + ColourTableBytes(*local);
            // LZW codes grow to at most 12 bits, one more than the code size.
            const std::optional<uint32_t> codeSize = b.U8(codeSizeAt);
            if (*width == 0 || *height == 0 || (codeSize && (*codeSize < 1 || *codeSize > 11)))
                walk.sound = false;
            next = PastSubBlocks(b, codeSizeAt + 1);
        } else {
            walk.sound = false;  // not a block: damaged
            break;
        }
        if (!next) break;
        at = *next;
    }
    return walk;
}

std::optional<DibLayout> ReadDib(const ByteReader& b, uint64_t at) {
    const std::optional<uint32_t> header = b.Le32(at);
    if (!header) return std::nullopt;
    if (*header == 12) {  // the old core header: 16-bit sizes
        const std::optional<DeclaredSize> size = Sized(b.Le16(at + 4), b.Le16(at + 6));
        const std::optional<uint32_t> bits = b.Le16(at + 10);
        if (!size || !bits) return std::nullopt;
        return DibLayout{*size, *header, *bits, kBmpUncompressed, 0, false, true};
    }
    const std::optional<uint32_t> width = b.Le32(at + 4), height = b.Le32(at + 8), bits = b.Le16(at + 14),
                                  compression = b.Le32(at + 16), colours = b.Le32(at + 32);
    if (*header < 40 || !width || !height || !bits || !compression || !colours) return std::nullopt;
    // Signed: a negative height stores the rows top down.
    const int64_t w = static_cast<int32_t>(*width), h = static_cast<int32_t>(*height);
    if (w <= 0 || h == 0) return std::nullopt;
    return DibLayout{{static_cast<uint64_t>(w), static_cast<uint64_t>(h < 0 ? -h : h)},
                     *header,
                     *bits,
                     *compression,
                     *colours,
                     h < 0,
                     false};
}

uint64_t DibRowBytes(uint64_t width, uint32_t bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

}  // namespace vexa::structure
