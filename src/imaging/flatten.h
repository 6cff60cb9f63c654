// Transparency taken out of a picture before it becomes a JPEG, which has none.
#pragma once

#include <cstdint>
#include <span>

namespace vexa {

// Paints pixels of four bytes each, the fourth their alpha (not premultiplied), onto white in
// place: white is what a transparent picture usually stands on. The order of the three colours
// does not matter; every alpha becomes 255.
void FlattenPixelsOntoWhite(std::span<uint8_t> pixels);

}  // namespace vexa
