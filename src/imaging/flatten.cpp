#include "imaging/flatten.h"

namespace vexa {

namespace {

// c·a + 255·(255 − a), divided by 255 with rounding, for every colour of every alpha.
uint8_t Composite(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

}  // namespace

void FlattenPixelsOntoWhite(std::span<uint8_t> pixels) {
    for (size_t at = 0; at + 4 <= pixels.size(); at += 4) {
        uint8_t* px = &pixels[at];
        const uint8_t alpha = px[3];
        if (alpha == 255) continue;
        px[0] = Composite(px[0], alpha);
        px[1] = Composite(px[1], alpha);
        px[2] = Composite(px[2], alpha);
        px[3] = 255;
    }
}

}  // namespace vexa
