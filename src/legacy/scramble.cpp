#include "legacy/scramble.h"

#include <random>

#include "legacy/protocol_tables.h"

namespace VexaCore {

namespace {

constexpr size_t N = kScrambleAlphabet;

// Position of c in a table; characters the table does not hold count as position 0.
size_t IndexIn(const char* table, char c) {
    for (size_t i = 0; i < N; ++i)
        if (table[i] == c) return i;
    return 0;
}

// Scrambling is rare (a login), so each draw may come from the system's random source.
size_t RandomBelow(size_t bound) {
    std::random_device source;
    return std::uniform_int_distribution<size_t>(0, bound - 1)(source);
}

}  // namespace

std::string ScrambleText(std::string_view text) {
    std::string out;
    if (text.empty()) return out;
    const size_t length = text.size();
    const size_t k = RandomBelow(N);
    out.reserve(length + 3);
    out += kCipherTable[k];
    out += kCipherTable[RandomBelow(N)];
    out += kCipherTable[RandomBelow(N)];
    for (size_t i = length; i-- > 0;) {
        const size_t shift = ((length - i) % N) * k;
        out += kCipherTable[(IndexIn(kPlainTable, text[i]) + shift) % N];
    }
    return out;
}

std::string UnscrambleText(std::string_view text) {
    std::string out;
    const size_t n = text.size();
    if (n < 4) return out;
    const size_t k = IndexIn(kCipherTable, text[0]);
    out.reserve(n - 3);
    for (size_t j = n - 1; j >= 3; --j) {
        const size_t m = n - 1 - j;
        const size_t shift = ((n - 3 - m) % N) * (N - k);
        out += kPlainTable[(IndexIn(kCipherTable, text[j]) + shift) % N];
    }
    return out;
}

}  // namespace VexaCore
