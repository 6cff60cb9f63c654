// Walking UTF-8 text one code point at a time, for measuring and escaping what is printed.
#pragma once

#include <cstddef>
#include <string_view>

namespace vexa_cli {

inline constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

// The code point that starts at `pos`, advancing `pos` past it. A malformed sequence (a stray
// continuation byte, a truncated or overlong form, a surrogate, a value above U+10FFFF) gives
// kInvalidCodePoint and advances by one byte.
char32_t NextCodePoint(std::string_view text, size_t& pos);

}  // namespace vexa_cli
