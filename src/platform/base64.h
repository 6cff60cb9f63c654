// Base64 text (RFC 4648, with padding, no line breaks) on the platform's encoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vexa {

// Appends the Base64 text of bytes to out.
void AppendBase64(std::span<const uint8_t> bytes, std::string& out);

}  // namespace vexa
