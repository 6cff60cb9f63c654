#include "automation/decimal_text.h"

#include <cstdint>

namespace vexa {

int64_t ReadDecimal64(std::string_view text) {
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated on the negative side, which holds the one extra value.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (INT64_MIN + digit) / 10) return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == INT64_MIN ? INT64_MAX : -value;
}

int32_t ReadDecimal32(std::string_view text) {
    const int64_t value = ReadDecimal64(text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace vexa
