// Fixed code tables shared by both ends of the legacy protocol.
#pragma once

#include <cstddef>

namespace VexaCore {

constexpr size_t kScrambleAlphabet = 95;  // the printable ASCII characters 0x20..0x7E
extern const char kPlainTable[kScrambleAlphabet + 1];
extern const char kCipherTable[kScrambleAlphabet + 1];

}  // namespace VexaCore
