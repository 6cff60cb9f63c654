#include "automation/text.h"

#include "automation/code_page.h"

namespace vexa {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One UTF-8 sequence at text[i], advancing i past it. An ill-formed sequence gives kInvalid and
// skips its longest well-formed start (at least one byte), so what follows is read again.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int follow = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        c = lead & 0x07;
    } else {
        return kInvalid;
    }
    for (int k = 0; k < follow; ++k) {
        if (i >= text.size()) return kInvalid;
        const auto b = static_cast<unsigned char>(text[i]);
        // The second byte rules out overlong forms, surrogates and values above U+10FFFF.
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (k == 0) {
            if (lead == 0xE0) lo = 0xA0;
            if (lead == 0xED) hi = 0x9F;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;
        }
        if (b < lo || b > hi) return kInvalid;
        c = (c << 6) | (b & 0x3F);
        ++i;
    }
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Bytes of the character that starts rest, in UTF-16 of this machine's byte order: a surrogate
// pair is one character, anything else one code unit.
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

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = u'?';
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = DecodeUtf8(text, i);
        if (c == kInvalid) {
            out += u'?';
        } else if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string ToLocal(std::u16string_view text) {
    std::string out;
    if (IsAscii(text)) return std::string(text.begin(), text.end());  // the same in CP949
    if (EncodeLocal(text, out)) return out;
    // Without the code page, ASCII (the same in CP949) still passes.
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
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
    return IsAscii(text) ? std::string(text) : ToUtf8(Utf16FromLocal(text));
}

std::string Utf8ToLocal(std::string_view text) {
    return IsAscii(text) ? std::string(text) : ToLocal(Utf16FromUtf8(text));
}

}  // namespace vexa
