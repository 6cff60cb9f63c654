#include "activation/class_text.h"

#include <algorithm>

namespace vexa::activation {

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::optional<CLSID> ParseClsid(std::string_view text) {
    constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != kShape.size()) return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] == 'X' ? !IsHex(text[i]) : text[i] != kShape[i]) return std::nullopt;
    }
    // The checked digits, in the form the compile-time parser reads.
    char digits[37] = {};
    std::copy_n(text.data() + 1, 36, digits);
    return GuidFromString(digits);
}

bool IsProgId(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return IsAsciiAlnum(c) || c == '.' || c == '_' || c == '-';
    });
}

std::optional<std::string> AsciiText(const OLECHAR* text) {
    std::string ascii;
    for (; *text != u'\0'; ++text) {
        if (*text > 0x7F) return std::nullopt;
        ascii += static_cast<char>(*text);
    }
    return ascii;
}

}  // namespace vexa::activation
