#include "legacy/protocol/scramble.h"

#include <array>
#include <chrono>
#include <cstdint>

#include "legacy/protocol/protocol_tables.h"
#include "platform/system_random.h"

namespace VexaCore {

namespace {

constexpr size_t N = kScrambleAlphabet;

// Position of c in a table; characters the table does not hold count as position 0.
size_t IndexIn(const char* table, char c) {
    for (size_t i = 0; i < N; ++i)
        if (table[i] == c) return i;
    return 0;
}

// Three values below N from the system's random source, in one call; a draw that would bias the
// remainder is drawn again. Should the source fail, the clock stands in: the key only varies the
// scrambled form, it protects nothing.
std::array<size_t, 3> ThreeRandomBelowN() {
    constexpr uint32_t kLimit = UINT32_MAX - UINT32_MAX % N;  // multiples of N below it
    std::array<size_t, 3> out{};
    size_t filled = 0;
    while (filled < out.size()) {
        std::array<uint32_t, 4> draws{};
        if (!vexa::SystemRandom(draws.data(), sizeof draws)) {
            const auto now =
                static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
            for (size_t i = 0; i < draws.size(); ++i)
                draws[i] = static_cast<uint32_t>(now >> (8 * i)) % kLimit;
        }
        for (uint32_t d : draws)
            if (d < kLimit && filled < out.size()) out[filled++] = d % N;
    }
    return out;
}

}  // namespace

std::string ScrambleText(std::string_view text) {
    std::string out;
    if (text.empty()) return out;
    const size_t length = text.size();
    const auto [k, r1, r2] = ThreeRandomBelowN();
    out.reserve(length + 3);
    out += kCipherTable[k];
    out += kCipherTable[r1];
    out += kCipherTable[r2];
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
