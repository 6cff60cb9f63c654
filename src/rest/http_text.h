// HTTP's text rules that both platforms' clients apply alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexa {

// ASCII letters compared without regard to case, as HTTP compares names.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);
// A method or header name: an HTTP token, so it cannot break the request line or header block.
bool IsToken(std::string_view text);
// A header value may not end its line early (no CR, LF or NUL).
bool IsFieldValue(std::string_view text);
// The charset parameter of a content type: found regardless of letter case, taken as written.
std::string CharsetOf(const std::string& contentType);
// Content-Length digits (saturating), or -1 when the text is not a number.
int64_t ParseLength(std::string_view text);

}  // namespace vexa
