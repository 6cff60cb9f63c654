// A decoded picture, and decoding one from a file or from bytes in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vexa {

// 8-bit pixels, rows top down: RGB, RGBA (alpha not premultiplied) or RGBX (the fourth byte
// unused). The pixels belong to whatever decoded them; owner keeps them alive.
class DecodedPicture {
public:
    struct Layout {
        int width = 0;
        int height = 0;
        int rowStride = 0;
        int channels = 3;  // 3 or 4
        bool alpha = false;
    };

    DecodedPicture(const Layout& layout, uint8_t* pixels, std::shared_ptr<void> owner) noexcept
        : layout_(layout), pixels_(pixels), owner_(std::move(owner)) {}

    int Width() const { return layout_.width; }
    int Height() const { return layout_.height; }
    int RowStride() const { return layout_.rowStride; }
    int Channels() const { return layout_.channels; }
    bool HasAlpha() const { return layout_.alpha; }
    uint8_t* Pixels() { return pixels_; }

private:
    Layout layout_;
    uint8_t* pixels_;
    std::shared_ptr<void> owner_;
};

// Nullopt when the file cannot be read, is not a picture of a format we take, is damaged or cut
// short, is larger than kMaxPictureBytes or declares more than kMaxPicturePixels pixels (checked
// before any pixel is decoded). The path is opened as given. An animation gives its first frame.
std::optional<DecodedPicture> DecodePictureFile(const std::string& path);
std::optional<DecodedPicture> DecodePictureBytes(std::span<const uint8_t> bytes);

}  // namespace vexa
