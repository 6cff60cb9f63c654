#include "automation/text.h"

#include "automation/code_page.h"
#include "automation/unicode.h"

namespace vexa {

namespace {

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// Where the platform cannot go straight between the code page and UTF-8 (no code page), the way
// through UTF-16 still lets ASCII pass.
void NonAsciiToUtf8(std::string_view local, std::string& out) {
    if (!DecodeLocalToUtf8(local, out)) out = ToUtf8(Utf16FromLocal(local));
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    // A code unit becomes at most three bytes (a surrogate pair, two units, four).
    WriteString(out, text.size() * 3, [&](char* at) {
        for (size_t i = 0; i < text.size();) at = WriteUtf8(ReadUtf16(text, i), at);
        return at;
    });
    return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string out;
    // A UTF-8 sequence becomes at most one code unit per byte.
    WriteString(out, text.size(), [&](char16_t* at) {
        for (size_t i = 0; i < text.size();) at = WriteUtf16(ReadUtf8(text, i), at);
        return at;
    });
    return out;
}

std::string ToLocal(std::u16string_view text) {
    std::string out;
    if (IsAscii(text)) return std::string(text.begin(), text.end());  // the same in CP949
    if (EncodeLocal(text, out)) return out;
    // Without the code page, ASCII (the same in CP949) still passes.
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const char32_t c = ReadUtf16(text, i);
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string ToLocal(BSTR text) { return ToLocal(std::u16string_view(text ? text : u"", SysStringLen(text))); }

std::u16string Utf16FromLocal(std::string_view text) {
    if (IsAscii(text)) return std::u16string(text.begin(), text.end());
    if (std::u16string out; DecodeLocal(text, out)) return out;
    // Without the code page, ASCII (the same in CP949) still passes.
    std::u16string out;
    for (size_t i = 0; i < text.size(); i += Cp949Unit(text.substr(i))) {
        const auto b = static_cast<unsigned char>(text[i]);
        out += b < 0x80 ? static_cast<char16_t>(b) : u'?';
    }
    return out;
}

Bstr BstrFromLocal(std::string_view text) { return Bstr(std::u16string_view(Utf16FromLocal(text))); }

// ASCII is the same in all three encodings.
std::string LocalToUtf8(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    std::string out;
    NonAsciiToUtf8(text, out);
    return out;
}

std::string_view LocalAsUtf8(std::string_view text, std::string& buffer) {
    if (IsAscii(text)) return text;
    NonAsciiToUtf8(text, buffer);
    return buffer;
}

std::string Utf8ToLocal(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    if (std::string out; EncodeLocalFromUtf8(text, out)) return out;
    return ToLocal(Utf16FromUtf8(text));  // as in NonAsciiToUtf8
}

}  // namespace vexa
