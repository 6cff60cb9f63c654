// What a picture's bytes say of themselves, read from its structure without decoding pixels: for
// decoders that would allocate a declared size before looking further, or that keep what they have
// of a picture cut short.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "imaging/picture_format.h"

namespace vexa {

struct DeclaredSize {
    uint64_t width = 0;
    uint64_t height = 0;
};

// The largest picture the bytes declare: an ICO's largest image (an embedded PNG by its own
// header), a GIF's screen or any frame that reaches beyond it, a TIFF's first image. Nullopt when
// the header is cut short or declares no size.
std::optional<DeclaredSize> DeclaredPictureSize(PictureFormat format, std::span<const uint8_t> bytes);

// Whether the bytes reach as far as the picture's structure says they must: a PNG to its end
// chunk, a JPEG to its end marker after the first scan, a GIF to its trailer, a BMP over all its
// pixel rows, an ICO over all its images. TIFF's structure is left to its decoder (true).
bool ReachesItsEnd(PictureFormat format, std::span<const uint8_t> bytes);

// Follows a PNG's chunks as its bytes arrive in pieces, to tell whether they reached the end chunk.
class PngEndWatch {
public:
    void Feed(std::span<const uint8_t> bytes);
    bool Ended() const { return ended_; }

private:
    uint64_t seen_ = 0;
    uint64_t next_ = 8;       // where the next chunk starts, after the signature
    uint8_t header_[8] = {};  // the next chunk's length and type as they arrive
    size_t gathered_ = 0;
    bool ended_ = false;
};

// Whether what a decoder reads before the pixels holds together and declares at most
// kMaxPicturePixels, so that no decoder allocates for a size the picture cannot have: every field
// in range, every part the header places (palette, rows, images, tag data) within the file's
// totalSize bytes. head is the start of those bytes: all of them, but for PNG and BMP, whose
// headers lie at their start and which are streamed to their decoder, at least the first 256 KiB.
bool HeaderHoldsTogether(PictureFormat format, std::span<const uint8_t> head, uint64_t totalSize);

// What is refused before a decoder sees the bytes: nothing, more than kMaxPictureBytes, a format
// PictureFormatOf does not take, a header that does not hold together or declares more than
// kMaxPicturePixels, a picture cut short.
bool PassesPictureChecks(std::span<const uint8_t> bytes);

}  // namespace vexa
