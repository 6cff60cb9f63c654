// Base64 text broken into lines, as pictures travel inside a document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vexa {

// The length of Base64LinesAppend's text for n bytes.
size_t Base64LinesLength(size_t n);

// Appends the standard Base64 of bytes ("=" padded) in lines of 64 characters, each ended by
// CR LF, the last one too. Nothing is appended for no bytes.
void Base64LinesAppend(std::span<const uint8_t> bytes, std::string& out);

}  // namespace vexa
