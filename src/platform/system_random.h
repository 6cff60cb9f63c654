// Random bytes from the system's source (getrandom on Linux, CryptGenRandom on Windows).
#pragma once

#include <cstddef>

namespace vexa {

// Fills size bytes at out; false when the source gave fewer.
bool SystemRandom(void* out, size_t size);

}  // namespace vexa
