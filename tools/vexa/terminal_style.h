// Bold and colour for people at a terminal only: never when the output goes to a file or a pipe,
// never with NO_COLOR set (https://no-color.org), never on a dumb terminal.
#pragma once

#include <string>
#include <string_view>

namespace vexa_cli {

// Whether text written to this descriptor may carry escape codes.
bool StyleFor(int fd);

enum class Tone { Bold, Error, Warning };

// The text wrapped in the tone's escape codes when `styled`, else as it is.
std::string Styled(std::string_view text, Tone tone, bool styled);

}  // namespace vexa_cli
