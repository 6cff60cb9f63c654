// HTTP's text rules that both platforms' clients apply alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rest/http_response.h"

namespace vexa {

// ASCII letters compared without regard to case, as HTTP compares names.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);
// A method or header name: an HTTP token, so it cannot break the request line or header block.
bool IsToken(std::string_view text);
// A header value may not end its line early (no CR, LF or NUL).
bool IsFieldValue(std::string_view text);
// A request path goes out as given, so it may not split the request line: no space or control
// character.
bool IsRequestTarget(std::string_view text);
// The charset parameter of a content type: found regardless of letter case, taken as written.
std::string CharsetOf(const std::string& contentType);
// Content-Length digits (saturating), or -1 when the text is not a number.
int64_t ParseLength(std::string_view text);
// A Date header in any of HTTP's three forms ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday,
// 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994") as calendar time in UTC, without the day
// of the week; nullopt for anything else, or for a day the calendar record cannot hold.
std::optional<SystemTime> ParseHttpDate(std::string_view text);
// The reply's Date header as local calendar time (with the day of the week); all zero when it is
// missing or no date.
SystemTime LocalServerDate(std::string_view text);

}  // namespace vexa
