// Small pictures made at test time: with gdk-pixbuf's savers, TurboJPEG, or byte by byte where no
// saver exists (GIF) or where the picture must lie about itself (hostile headers).
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdexcept>
#include <string>
#include <turbojpeg.h>
#include <vector>
#include <zlib.h>

namespace vexa::test {

using PictureBytes = std::vector<uint8_t>;

struct Rgba {
    uint8_t r, g, b, a;
};

// A picture of the given size whose pixel (x, y) is colour(x, y).
inline PictureBytes SavedPicture(const char* format, int width, int height, bool alpha,
                                 const std::function<Rgba(int, int)>& colour) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    if (!pixbuf) throw std::runtime_error("gdk_pixbuf_new");
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf);
        for (int x = 0; x < width; ++x) {
            const Rgba c = colour(x, y);
            uint8_t* px = row + x * channels;
            px[0] = c.r, px[1] = c.g, px[2] = c.b;
            if (alpha) px[3] = c.a;
        }
    }
    gchar* buffer = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, format, &error, nullptr);
    g_object_unref(pixbuf);
    g_clear_error(&error);
    if (!saved) throw std::runtime_error(std::string("cannot save a picture as ") + format);
    PictureBytes bytes(buffer, buffer + size);
    g_free(buffer);
    return bytes;
}

inline PictureBytes SolidPicture(const char* format, int width, int height, Rgba colour) {
    return SavedPicture(format, width, height, colour.a != 255, [colour](int, int) { return colour; });
}

// A JPEG straight from TurboJPEG, of pixels in pixelFormat (TJPF_GRAY, TJPF_CMYK, ...).
inline PictureBytes EncodedJpeg(int width, int height, int pixelFormat, int subsampling, uint8_t value) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * tjPixelSize[pixelFormat], value);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed =
        tjCompress2(handle, pixels.data(), width, 0, height, pixelFormat, &jpeg, &size, subsampling, 90, 0);
    tjDestroy(handle);
    PictureBytes bytes(jpeg, jpeg + (failed ? 0 : size));
    tjFree(jpeg);
    if (failed) throw std::runtime_error("tjCompress2");
    return bytes;
}

// A GIF with a two-colour palette and one frame per entry of frames (each a palette index for
// every pixel). The pixels are coded with a clear code before each one, which keeps the LZW
// codes at three bits.
inline PictureBytes PaletteGif(uint16_t width, uint16_t height, Rgba first, Rgba second,
                               const std::vector<uint8_t>& frames) {
    auto le16 = [](PictureBytes& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    PictureBytes b{'G', 'I', 'F', '8', '9', 'a'};
    le16(b, width);
    le16(b, height);
    b.insert(b.end(), {0x80, 0, 0, first.r, first.g, first.b, second.r, second.g, second.b});
    for (uint8_t index : frames) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0});  // 0.1 s per frame
        b.push_back(0x2C);
        le16(b, 0), le16(b, 0), le16(b, width), le16(b, height);
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

inline std::filesystem::path WriteFile(const std::filesystem::path& path, const PictureBytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace vexa::test
