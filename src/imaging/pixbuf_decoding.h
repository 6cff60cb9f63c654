// Decoding a picture with gdk-pixbuf, fed in pieces.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>

#include "imaging/decoded_picture.h"
#include "imaging/picture_format.h"

typedef struct _GdkPixbufLoader GdkPixbufLoader;

namespace vexa {

// One decode with the loader of a format we chose, never one gdk-pixbuf guesses.
class PixbufDecoding {
public:
    explicit PixbufDecoding(PictureFormat format);
    PixbufDecoding(const PixbufDecoding&) = delete;
    PixbufDecoding& operator=(const PixbufDecoding&) = delete;
    ~PixbufDecoding();

    // False once the picture is refused or found damaged.
    bool Write(std::span<const uint8_t> bytes);
    // The picture once all of it has arrived; nullopt for one refused, damaged or cut short.
    std::optional<DecodedPicture> Finish();

private:
    // gdk-pixbuf calls these from its C frames, which nothing may unwind into.
    static void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, void* self) noexcept;
    static void OnAreaUpdated(GdkPixbufLoader* loader, int x, int y, int width, int height,
                              void* self) noexcept;

    GdkPixbufLoader* loader_ = nullptr;
    bool refused_ = false;
    bool closed_ = false;
    // Loaders of some formats hand out what they have of a cut-short picture as if it were whole;
    // for those, every row must have been delivered. The spans delivered so far, merged: start →
    // end. Interlaced pictures deliver rows out of order.
    bool checkRows_ = false;
    std::map<int, int> rows_;
};

}  // namespace vexa
