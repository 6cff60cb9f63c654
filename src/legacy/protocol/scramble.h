// The legacy protocol's password scrambling over the 95 printable ASCII characters.
#pragma once

#include <string>
#include <string_view>

namespace VexaCore {

// Three random key characters, then the text reversed and shifted by the key; differs between
// calls for the same text. An empty text gives an empty result.
std::string ScrambleText(std::string_view text);

// The inverse of ScrambleText; a text shorter than 4 characters gives an empty result.
std::string UnscrambleText(std::string_view text);

}  // namespace VexaCore
