// The text rule the legacy service expects of user-supplied fields in a request.
#pragma once

#include <string>
#include <string_view>

namespace VexaCore {

// Every backslash doubled, a backslash before every apostrophe, every CR removed. Applied before,
// and apart from, the markup's own entity escaping.
std::string EscapeField(std::string_view text);

// What the service does with an escaped field: the two escapes undone, any other backslash kept as
// text (the CRs are gone for good).
std::string UnescapeField(std::string_view text);

}  // namespace VexaCore
