#include "legacy/protocol/escape_field.h"

namespace VexaCore {

// Byte by byte: no CP949 trail byte is a CR, an apostrophe or a backslash.
std::string EscapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out;
}

std::string UnescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '\'')) ++i;
        out += text[i];
    }
    return out;
}

}  // namespace VexaCore
