// Small pictures made at test time with gdk-pixbuf's savers or TurboJPEG; picture_bytes.h makes
// those built byte by byte.
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

#include "picture_bytes.h"

namespace vexa::test {

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

}  // namespace vexa::test
