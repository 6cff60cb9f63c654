// Decimal numbers in the services' texts, read as strtol reads them: plain integer arithmetic, the
// same on every platform (the VARIANT conversions of number_text.h are the Linux stand-in's).
#pragma once

#include <cstdint>
#include <string_view>

namespace vexa {

// A decimal number as strtol reads it with base 10 (leading white space, optional sign, digits
// up to the first other character; none gives 0), clamped to the 32-bit range.
int32_t ReadDecimal32(std::string_view text);
// The same, 64 bits wide.
int64_t ReadDecimal64(std::string_view text);

}  // namespace vexa
