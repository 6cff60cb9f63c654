// Fixed code tables shared by both ends of the legacy protocol.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace VexaCore {

constexpr size_t kScrambleAlphabet = 95;  // the printable ASCII characters 0x20..0x7E
extern const char kPlainTable[kScrambleAlphabet + 1];
extern const char kCipherTable[kScrambleAlphabet + 1];

// E0..E7 of the frame body's byte substitution, each a permutation of the 256 byte values.
constexpr size_t kSubstitutionTableCount = 8;
extern const uint8_t kSubstitutionTables[kSubstitutionTableCount][256];

// D0..D7, the inverses: D[t][E[t][b]] == b. Built on first use, then only read.
using SubstitutionTableSet = std::array<std::array<uint8_t, 256>, kSubstitutionTableCount>;
const SubstitutionTableSet& InverseSubstitutionTables();

}  // namespace VexaCore
