// Text written into the inbox's pages.
#pragma once

#include <string>
#include <string_view>

namespace vexa::sandbox {

// `text` with '&', '<', '>', '"' and '\'' as character references: safe as element text and as a
// quoted attribute value.
std::string HtmlEscape(std::string_view text);

// The first `maxCharacters` characters of a UTF-8 text, cut on a character's boundary, with "…"
// when anything was cut.
std::string Excerpt(std::string_view text, size_t maxCharacters);

}  // namespace vexa::sandbox
