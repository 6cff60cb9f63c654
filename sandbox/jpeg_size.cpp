#include "sandbox/jpeg_size.h"

namespace vexa::sandbox {

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kStartOfScan = 0xDA;

// DHT (C4), JPG (C8) and DAC (CC) share the range of the frame markers without being frames.
bool IsFrameMarker(unsigned char code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Markers without a length: TEM and the restart markers.
bool StandsAlone(unsigned char code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

}  // namespace

std::optional<PixelSize> JpegPixelSize(std::string_view jpeg) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(jpeg[i]); };
    const auto word = [&](size_t i) { return byte(i) << 8 | byte(i + 1); };
    if (jpeg.size() < 4 || byte(0) != kMarker || byte(1) != kStartOfImage) return std::nullopt;
    size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (byte(at) != kMarker) return std::nullopt;
        const unsigned char code = byte(at + 1);
        if (code == kMarker) {  // fill byte
            ++at;
            continue;
        }
        if (StandsAlone(code)) {
            at += 2;
            continue;
        }
        if (code == kStartOfScan) return std::nullopt;
        const size_t length = word(at + 2);
        if (length < 2) return std::nullopt;
        if (IsFrameMarker(code)) {
            // Length, precision, then height and width.
            if (length < 7 || at + 9 > jpeg.size()) return std::nullopt;
            const PixelSize size{word(at + 7), word(at + 5)};
            if (size.width == 0 || size.height == 0) return std::nullopt;
            return size;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace vexa::sandbox
