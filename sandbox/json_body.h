// The one JSON body the sandbox reads: an object with a single member whose value is a
// non-negative whole number, e.g. {"credit": 1000}. Read strictly: anything else is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vexa::sandbox {

// The largest number taken: 15 digits, as a credit on the command line.
inline constexpr int64_t kMaxJsonCount = 999'999'999'999'999;

// The value of `{"name": N}` (blanks allowed between tokens); nullopt for any other text: another
// or a further member, a sign, a fraction or exponent, a leading zero, escapes in the name, or a
// number above kMaxJsonCount.
std::optional<int64_t> ReadCountMember(std::string_view body, std::string_view name);

}  // namespace vexa::sandbox
