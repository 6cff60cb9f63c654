// Small pictures built byte by byte, with zlib only: where no saver exists (GIF), where the picture
// must lie about itself (hostile headers), and for the Windows checks, which have no Linux savers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <vector>
#include <zlib.h>

namespace vexa::test {

using PictureBytes = std::vector<uint8_t>;

struct Rgba {
    uint8_t r, g, b, a;
};

namespace detail {

inline void Be32(PictureBytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (24 - 8 * i)));
}

inline void Le32(PictureBytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A PNG chunk: length, type, data, CRC of type and data.
inline void PngChunk(PictureBytes& b, const char* type, const PictureBytes& data) {
    Be32(b, static_cast<uint32_t>(data.size()));
    const size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    Be32(b, static_cast<uint32_t>(crc32(0, b.data() + start, static_cast<uInt>(b.size() - start))));
}

}  // namespace detail

// An 8-bit RGB or RGBA PNG whose pixel (x, y) is colour(x, y); interlaced, its rows come in
// Adam7's seven passes, each a smaller picture of every few pixels.
inline PictureBytes PngPicture(uint32_t width, uint32_t height, bool alpha,
                               const std::function<Rgba(uint32_t, uint32_t)>& colour,
                               bool interlaced = false) {
    struct Pass {
        uint32_t x, y, dx, dy;
    };
    constexpr Pass kWhole[] = {{0, 0, 1, 1}};
    constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    PictureBytes rows;
    for (const Pass& p : interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole)) {
        if (p.x >= width) continue;  // a pass of no columns has no rows either
        for (uint32_t y = p.y; y < height; y += p.dy) {
            rows.push_back(0);  // no filter
            for (uint32_t x = p.x; x < width; x += p.dx) {
                const Rgba c = colour(x, y);
                rows.insert(rows.end(), {c.r, c.g, c.b});
                if (alpha) rows.push_back(c.a);
            }
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    PictureBytes packed(packedSize);
    if (compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size())) != Z_OK)
        throw std::runtime_error("compress");
    packed.resize(packedSize);
    PictureBytes header;
    detail::Be32(header, width);
    detail::Be32(header, height);
    header.insert(header.end(), {8, uint8_t(alpha ? 6 : 2), 0, 0, uint8_t(interlaced)});
    PictureBytes b{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    detail::PngChunk(b, "IHDR", header);
    detail::PngChunk(b, "IDAT", packed);
    detail::PngChunk(b, "IEND", {});
    return b;
}

inline PictureBytes SolidPng(uint32_t width, uint32_t height, Rgba colour) {
    return PngPicture(width, height, colour.a != 255, [colour](uint32_t, uint32_t) { return colour; });
}

// A 24-bit BMP, rows bottom up, of one colour.
inline PictureBytes SolidBmp(uint32_t width, uint32_t height, Rgba colour) {
    const uint32_t stride = (width * 3 + 3) / 4 * 4;
    PictureBytes b{'B', 'M'};
    detail::Le32(b, 54 + stride * height);
    detail::Le32(b, 0);
    detail::Le32(b, 54);
    detail::Le32(b, 40);
    detail::Le32(b, width);
    detail::Le32(b, height);
    b.insert(b.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) detail::Le32(b, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) b.insert(b.end(), {colour.b, colour.g, colour.r});
        b.resize(b.size() + stride - width * 3, 0);
    }
    return b;
}

// An icon of one image, a whole PNG of width × height (below 256 each).
inline PictureBytes PngIcon(const PictureBytes& png, uint8_t width, uint8_t height) {
    PictureBytes b{0, 0, 1, 0, 1, 0, width, height, 0, 0, 1, 0, 32, 0};
    detail::Le32(b, static_cast<uint32_t>(png.size()));
    detail::Le32(b, 22);
    b.insert(b.end(), png.begin(), png.end());
    return b;
}

// A GIF with a two-colour palette and one frame per entry of frames (each a palette index for
// every pixel). The pixels are coded with a clear code before each one, which keeps the LZW
// codes at three bits. With transparent 0 or 1, that palette entry is transparent.
inline PictureBytes PaletteGif(uint16_t width, uint16_t height, Rgba first, Rgba second,
                               const std::vector<uint8_t>& frames, int transparent = -1) {
    // Byte by byte: GCC 12 at -O3 takes list inserts into a growing vector for writes past its end.
    PictureBytes b;
    const auto add = [&b](std::initializer_list<uint8_t> bytes) {
        for (uint8_t byte : bytes) b.push_back(byte);
    };
    const auto le16 = [&add](uint16_t v) { add({uint8_t(v), uint8_t(v >> 8)}); };
    add({'G', 'I', 'F', '8', '9', 'a'});
    le16(width);
    le16(height);
    add({0x80, 0, 0, first.r, first.g, first.b, second.r, second.g, second.b});
    for (uint8_t index : frames) {
        add({0x21, 0xF9, 4, uint8_t(transparent >= 0), 10, 0, uint8_t(std::max(transparent, 0)),
             0});  // 0.1 s
        b.push_back(0x2C);
        le16(0), le16(0), le16(width), le16(height);
        b.push_back(0);
        b.push_back(2);  // minimum code size: clear = 4, end = 5
        PictureBytes data;
        uint32_t bits = 0, count = 0;
        auto put = [&](uint32_t code) {
            bits |= code << count;
            for (count += 3; count >= 8; count -= 8, bits >>= 8) data.push_back(uint8_t(bits));
        };
        for (int i = 0; i < width * height; ++i) put(4), put(index);
        put(5);
        if (count) data.push_back(uint8_t(bits));
        for (size_t at = 0; at < data.size(); at += 255) {
            const size_t n = std::min<size_t>(255, data.size() - at);
            b.push_back(uint8_t(n));
            b.insert(b.end(), data.begin() + at, data.begin() + at + n);
        }
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

// The start of a PNG that declares width × height RGBA pixels (a valid header, no pixels).
inline PictureBytes PngHeader(uint32_t width, uint32_t height) {
    // Sized once: GCC 12 at -O3 takes inserts into a growing vector for writes past its end.
    PictureBytes b(33, 0);
    const uint8_t start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    std::copy(std::begin(start), std::end(start), b.begin());
    auto be32 = [&b](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
    };
    be32(16, width);
    be32(20, height);
    b[24] = 8;  // bit depth
    b[25] = 6;  // RGBA
    be32(29, static_cast<uint32_t>(crc32(0, b.data() + 12, 17)));
    return b;
}

// The start of a 24-bit BMP that declares width × height pixels.
inline PictureBytes BmpHeader(int32_t width, int32_t height) {
    // Sized once: GCC 12 at -O3 takes a later resize for a write past the end.
    PictureBytes b(54 + 64, 0x7F);
    std::fill_n(b.begin(), 54, 0);
    auto le32 = [&b](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    le32(2, 54 + 64);
    le32(10, 54);
    le32(14, 40);
    le32(18, static_cast<uint32_t>(width));
    le32(22, static_cast<uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// The JPEG with its baseline frame header declaring width × height instead.
inline PictureBytes JpegDeclaring(PictureBytes jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

inline std::filesystem::path WriteFile(const std::filesystem::path& path, const PictureBytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace vexa::test
