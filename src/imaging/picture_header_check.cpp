// The checks made of a picture's header before any decoder sees its bytes. Decoders allocate
// from what a header declares (a BMP loader its header's own size and the offset of its pixels,
// an icon loader its palette, TIFF readers their tag arrays) before they find that the bytes
// cannot hold it; a picture of a few bytes must not make them ask for gigabytes.
#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "imaging/picture_header.h"
#include "imaging/picture_structure.h"

namespace vexa {

using namespace structure;

namespace {

bool WithinPixelLimit(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && Area({width, height}) <= kMaxPicturePixels;
}

// ---- PNG: IHDR first, 13 bytes: width, height (at most 2^31 - 1), bit depth and colour type in
// one of the combinations the format defines, compression 0, filter 0, interlace 0 or 1.

bool PngHolds(const ByteReader& b) {
    if (!b.Matches(0, kPngSignature) || b.Be32(8) != 13u || !b.Matches(12, "IHDR")) return false;
    const std::optional<uint32_t> width = b.Be32(16), height = b.Be32(20), depth = b.U8(24),
                                  colour = b.U8(25), compression = b.U8(26), filter = b.U8(27),
                                  interlace = b.U8(28);
    if (!interlace || *compression != 0 || *filter != 0 || *interlace > 1) return false;
    constexpr uint32_t kMaxDimension = 0x7FFFFFFF;
    if (*width > kMaxDimension || *height > kMaxDimension) return false;
    const auto depthIn = [&](std::initializer_list<uint32_t> depths) {
        return std::find(depths.begin(), depths.end(), *depth) != depths.end();
    };
    bool depthFits = false;
    switch (*colour) {
        case 0:  // grey
            depthFits = depthIn({1, 2, 4, 8, 16});
            break;
        case 3:  // palette
            depthFits = depthIn({1, 2, 4, 8});
            break;
        case 2:  // RGB
        case 4:  // grey and alpha
        case 6:  // RGBA
            depthFits = depthIn({8, 16});
            break;
        default:
            break;
    }
    return depthFits && WithinPixelLimit(*width, *height);
}

// ---- JPEG: the frame header: its length counts 8 bytes and 3 per component, 1 to 4 components
// with sampling factors of 1 to 4 and one of the 4 quantisation tables, a precision of 8 or 12.

bool JpegHolds(const ByteReader& b) {
    const std::optional<size_t> frame = JpegSegment(b, true);
    if (!frame) return false;
    const std::optional<uint32_t> length = b.Be16(*frame + 2), precision = b.U8(*frame + 4),
                                  height = b.Be16(*frame + 5), width = b.Be16(*frame + 7),
                                  components = b.U8(*frame + 9);
    if (!components || *components < 1 || *components > 4 || *length != 8 + 3 * *components ||
        !b.Has(*frame + 2, *length))
        return false;
    if (*precision != 8 && *precision != 12) return false;
    for (uint32_t i = 0; i < *components; ++i) {
        const uint32_t sampling = *b.U8(*frame + 11 + 3 * i), table = *b.U8(*frame + 12 + 3 * i);
        const uint32_t horizontal = sampling >> 4, vertical = sampling & 15;
        if (horizontal < 1 || horizontal > 4 || vertical < 1 || vertical > 4 || table > 3) return false;
    }
    return WithinPixelLimit(*width, *height);
}

// ---- GIF: a screen, and a first frame of some size whose code size LZW can take; the screen
// grown to every frame's extent within the limit.

bool GifHolds(const ByteReader& b) {
    const std::optional<GifWalk> walk = WalkGif(b);
    return walk && walk->framed && walk->sound && WithinPixelLimit(walk->size.width, walk->size.height);
}

// ---- BMP and the bitmaps in icons: the DIB header.

// Bits per pixel and compression that go together; a top-down picture is never compressed.
bool DibFormatHolds(const DibLayout& dib) {
    switch (dib.bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 24:
            break;
        case 16:
        case 32:
            if (dib.core) return false;
            break;
        default:
            return false;
    }
    switch (dib.compression) {
        case kBmpUncompressed:
            return true;
        case kBmpRle8:
            return dib.bitsPerPixel == 8 && !dib.topDown;
        case kBmpRle4:
            return dib.bitsPerPixel == 4 && !dib.topDown;
        case kBmpBitFields:
            return dib.bitsPerPixel == 16 || dib.bitsPerPixel == 32;
        default:
            return false;
    }
}

// The bytes of the palette between the header (and its colour masks) and the pixels: for 8 bits
// or fewer, as many colours as the header says, which is at most as many as the bits tell apart;
// above that a palette is only a hint, still within the file. Nullopt when it cannot be.
std::optional<uint64_t> DibPaletteBytes(const DibLayout& dib, uint64_t totalSize) {
    const uint64_t entryBytes = dib.core ? 3 : 4;
    if (dib.bitsPerPixel <= 8) {
        const uint64_t most = uint64_t{1} << dib.bitsPerPixel;
        if (dib.coloursUsed > most) return std::nullopt;
        return (dib.coloursUsed ? dib.coloursUsed : most) * entryBytes;
    }
    if (uint64_t{dib.coloursUsed} * entryBytes > totalSize) return std::nullopt;
    return 0;
}

bool BmpHolds(const ByteReader& b, uint64_t totalSize) {
    const std::optional<DibLayout> dib = ReadDib(b, 14);
    const std::optional<uint32_t> pixels = b.Le32(10);
    if (!dib || !pixels) return false;
    constexpr uint32_t kHeaderSizes[] = {12, 40, 52, 56, 64, 108, 124};
    if (std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), dib->headerBytes) ==
            std::end(kHeaderSizes) ||
        !b.Has(14, dib->headerBytes) || !DibFormatHolds(*dib) ||
        !WithinPixelLimit(dib->size.width, dib->size.height))
        return false;
    // The shorter headers keep their three colour masks after them.
    const bool masksInHeader = dib->headerBytes >= 52 && dib->headerBytes != 64;
    const uint64_t masks = dib->compression == kBmpBitFields && !masksInHeader ? 12 : 0;
    const std::optional<uint64_t> palette = DibPaletteBytes(*dib, totalSize);
    if (!palette) return false;
    const uint64_t pixelsAt = *pixels;
    if (pixelsAt < 14 + dib->headerBytes + masks + (dib->bitsPerPixel <= 8 ? *palette : 0) ||
        pixelsAt >= totalSize)
        return false;
    if (dib->compression == kBmpRle8 || dib->compression == kBmpRle4) return true;
    return DibRowBytes(dib->size.width, dib->bitsPerPixel) * dib->size.height <= totalSize - pixelsAt;
}

// ---- ICO: a directory within the file, each image within the file after it; a bitmap image
// with a 40-byte uncompressed header of the directory's size (its height counting the mask too),
// its palette and colour rows within the image's bytes; a PNG image with a sound header.

bool IconBitmapHolds(const ByteReader& image, const IconEntry& icon) {
    const std::optional<DibLayout> dib = ReadDib(image, 0);
    if (!dib || dib->headerBytes != 40 || dib->compression != kBmpUncompressed || !DibFormatHolds(*dib) ||
        dib->size.width != icon.width || dib->size.height != 2 * uint64_t{icon.height})
        return false;
    const std::optional<uint64_t> palette = DibPaletteBytes(*dib, image.Size());
    if (!palette) return false;
    const uint64_t paletteBytes = dib->bitsPerPixel <= 8 ? *palette : uint64_t{dib->coloursUsed} * 4;
    const uint64_t rows = DibRowBytes(icon.width, dib->bitsPerPixel) * icon.height;
    return 40 + paletteBytes + rows <= image.Size();
}

bool IcoHolds(const ByteReader& b) {
    const std::optional<uint32_t> count = b.Le16(4);
    if (!count) return false;
    const uint64_t directoryEnd = 6 + 16 * uint64_t{*count};
    return b.Has(0, directoryEnd) && ForEachIcon(b, [&](const IconEntry& icon) {
               if (icon.offset < directoryEnd || icon.bytes < 40 || !b.Has(icon.offset, icon.bytes))
                   return false;
               const ByteReader image(b.From(icon.offset).first(icon.bytes));
               return image.Matches(0, kPngSignature) ? PngHolds(image) : IconBitmapHolds(image, icon);
           });
}

// ---- TIFF: the first directory within the file after the header, every value that does not fit
// its entry within the file (no reader allocates more for a tag than the file holds), width and
// height present.

uint64_t TiffTypeBytes(uint32_t type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
        case 12:  // DOUBLE
            return 8;
        default:  // readers skip a tag of a type they do not know
            return 0;
    }
}

bool TiffHolds(const ByteReader& b, uint64_t totalSize) {
    const bool big = b.Matches(0, "MM");
    const std::optional<uint32_t> directory = b.Read(4, 4, big);
    if (!directory || *directory < 8) return false;
    const std::optional<uint32_t> count = b.Read(*directory, 2, big);
    if (!count || *count == 0 || !b.Has(*directory, 2 + 12 * uint64_t{*count})) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        const uint64_t entry = *directory + 2 + 12 * uint64_t{i};
        const uint64_t valueBytes = TiffTypeBytes(*b.Read(entry + 2, 2, big)) * *b.Read(entry + 4, 4, big);
        if (valueBytes <= 4) continue;
        const uint64_t at = *b.Read(entry + 8, 4, big);
        if (at > totalSize || valueBytes > totalSize - at) return false;
    }
    const std::optional<DeclaredSize> size = DeclaredPictureSize(PictureFormat::kTiff, b.From(0));
    return size && WithinPixelLimit(size->width, size->height);
}

}  // namespace

bool HeaderHoldsTogether(PictureFormat format, std::span<const uint8_t> head, uint64_t totalSize) {
    if (head.size() > totalSize) return false;
    const ByteReader b(head);
    switch (format) {
        case PictureFormat::kPng:
            return PngHolds(b);
        case PictureFormat::kJpeg:
            return JpegHolds(b);
        case PictureFormat::kGif:
            return GifHolds(b);
        case PictureFormat::kBmp:
            return BmpHolds(b, totalSize);
        case PictureFormat::kIco:
            return IcoHolds(b);
        case PictureFormat::kTiff:
            return TiffHolds(b, totalSize);
    }
    return false;
}

}  // namespace vexa
