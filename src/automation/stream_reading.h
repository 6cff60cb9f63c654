// Reading a host's stream into memory, whoever implements it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vexa/automation.h"

namespace vexa {

// Reads stream from its current position to its end into out. A stream that yields more than
// limit bytes is refused with E_FAIL; a failing Read's error is returned. out is empty on failure.
HRESULT ReadWholeStream(IStream* stream, std::vector<uint8_t>& out, size_t limit);

}  // namespace vexa
