// The text rule the legacy service expects of user-supplied fields in a request.
#pragma once

#include <string>
#include <string_view>

namespace VexaCore {

// Every backslash doubled, a backslash before every apostrophe, every CR removed. Applied before,
// and apart from, the markup's own entity escaping.
std::string EscapeField(std::string_view text);

}  // namespace VexaCore
