#include "sandbox/html_text.h"

namespace vexa::sandbox {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Excerpt(std::string_view text, size_t maxCharacters) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // A character starts at every byte that is not a continuation byte.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters == maxCharacters) return std::string(text.substr(0, i)) + "…";
        ++characters;
    }
    return std::string(text);
}

}  // namespace vexa::sandbox
