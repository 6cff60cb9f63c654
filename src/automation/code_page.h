// The local code page (CP949) against UTF-16 and UTF-8, on the platform's converter (a table of the
// component's own on Linux, the system's code page 949 on Windows). A character that cannot be
// read or written becomes "?" and the conversion goes on with the rest.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa {

// False only when the code page is not available at all.
bool EncodeLocal(std::u16string_view text, std::string& out);
bool DecodeLocal(std::string_view text, std::u16string& out);

// The same against UTF-8, in one pass where the platform converts UTF-8 itself. Ill-formed UTF-8
// becomes "?" as in Utf16FromUtf8.
bool EncodeLocalFromUtf8(std::string_view utf8, std::string& out);
bool DecodeLocalToUtf8(std::string_view text, std::string& out);

// Windows only, where libxml2 reads documents in the local code page through it (on Linux its own
// iconv does): decoding without replacement, false when a byte sequence is not a CP949 character.
bool DecodeLocalExactly(std::string_view text, std::u16string& out);

// Bytes of the character that starts rest (not empty) in CP949: a lead byte takes its trail byte
// only when that is a valid trail, so a stray lead byte never swallows the ASCII after it.
size_t Cp949Unit(std::string_view rest);

}  // namespace vexa
