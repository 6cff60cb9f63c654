// Base64 as the wire uses it: in Basic credentials and in the data URIs of pictures.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexa::sandbox {

// The standard alphabet with "=" padding; line breaks and blanks between the characters are
// skipped. Nullopt for anything else.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace vexa::sandbox
