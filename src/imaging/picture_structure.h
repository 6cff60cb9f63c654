// Walks over a picture's structure, shared by the size and end readings (picture_header.cpp) and
// the consistency checks made before a decoder sees the bytes (picture_header_check.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "imaging/byte_reader.h"
#include "imaging/picture_header.h"

namespace vexa::structure {

inline constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// width and height when both are there and neither is 0.
std::optional<DeclaredSize> Sized(std::optional<uint32_t> width, std::optional<uint32_t> height);
// width × height, or the largest value where that does not fit.
uint64_t Area(const DeclaredSize& size);

// ---- PNG: the signature, then chunks (length, type, data, CRC); IHDR first.
std::optional<DeclaredSize> PngSize(const ByteReader& b);

// ---- JPEG: segments (FF marker, 16-bit length that counts itself) up to the first scan, then
// entropy-coded data in which FF is followed only by 00 or a restart marker. The offset of the
// first scan's header (its marker), or of the frame header when frameOnly; nullopt when the
// segments run out first.
std::optional<size_t> JpegSegment(const ByteReader& b, bool frameOnly);

// ---- GIF: screen descriptor, optional global colour table, then blocks: extensions (21) and
// images (2C), each followed by data sub-blocks, up to the trailer (3B).
struct GifWalk {
    DeclaredSize size;    // the screen, grown to every frame's extent
    bool ended = false;   // the trailer was reached
    bool framed = false;  // at least one frame's descriptor was read
    bool sound = true;    // no frame of no size or of an impossible code size, no stray byte
};
// The screen and every frame, walking the blocks as far as the bytes reach.
std::optional<GifWalk> WalkGif(const ByteReader& b);

// ---- BMP: file header (14 bytes), then an info header (a DIB header) whose first field is its
// own size; icons hold DIB headers without the file header.
struct DibLayout {
    DeclaredSize size;
    uint32_t headerBytes = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;  // always 0 for the old core header
    uint32_t coloursUsed = 0;  // 0: as many as the bits allow
    bool topDown = false;
    bool core = false;  // the old 12-byte header: 16-bit sizes, 3-byte palette entries
};
inline constexpr uint32_t kBmpUncompressed = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpBitFields = 3,
                          kBmpAlphaBitFields = 6;
std::optional<DibLayout> ReadDib(const ByteReader& b, uint64_t at);
// The bytes of one row of uncompressed pixels: padded to 4 bytes.
uint64_t DibRowBytes(uint64_t width, uint32_t bitsPerPixel);

// ---- ICO and CUR: a directory of 16-byte entries (width and height bytes, 0 meaning 256; the
// image's size and offset), each image a BMP without its file header or a whole PNG.
struct IconEntry {
    uint32_t width = 0, height = 0;  // as the directory says, 0 read as 256
    uint32_t bytes = 0, offset = 0;
};
// Calls visit(entry) for each directory entry until it returns false; false when the directory is
// empty or cut short, or a visit returned false.
template <typename Visit>
bool ForEachIcon(const ByteReader& b, Visit visit) {
    const std::optional<uint32_t> count = b.Le16(4);
    if (!count || *count == 0) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        const std::optional<uint32_t> width = b.U8(entry), height = b.U8(entry + 1),
                                      bytes = b.Le32(entry + 8), offset = b.Le32(entry + 12);
        if (!offset) return false;
        if (!visit(IconEntry{*width ? *width : 256, *height ? *height : 256, *bytes, *offset})) return false;
    }
    return true;
}

}  // namespace vexa::structure
