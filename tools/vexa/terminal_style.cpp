#include "terminal_style.h"

#include <cstdlib>
#include <unistd.h>

namespace vexa_cli {

bool StyleFor(int fd) {
    const char* noColor = std::getenv("NO_COLOR");
    if (noColor && *noColor) return false;
    const char* term = std::getenv("TERM");
    if (!term || std::string_view(term) == "dumb") return false;
    return isatty(fd) == 1;
}

std::string Styled(std::string_view text, Tone tone, bool styled) {
    if (!styled) return std::string(text);
    const char* start = tone == Tone::Error ? "\033[1;31m" : tone == Tone::Warning ? "\033[33m" : "\033[1m";
    return start + std::string(text) + "\033[0m";
}

}  // namespace vexa_cli
