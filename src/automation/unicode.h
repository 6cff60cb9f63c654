// Characters read from and written to UTF-8 and UTF-16 one at a time, for the conversions of
// text.cpp and the code page. What cannot be read (ill-formed UTF-8, an unpaired surrogate) is
// read as "?", so writers see only characters.
#pragma once

#include <cstddef>
#include <string_view>

namespace vexa {

inline bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The UTF-8 sequence at text[i], advancing i past it. An ill-formed sequence is "?" and skips its
// longest well-formed start (at least one byte), so what follows is read again.
inline char32_t ReadUtf8(std::string_view text, size_t& i) {
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
        return u'?';
    }
    for (int k = 0; k < follow; ++k) {
        if (i >= text.size()) return u'?';
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
        if (b < lo || b > hi) return u'?';
        c = (c << 6) | (b & 0x3F);
        ++i;
    }
    return c;
}

// The character at text[i], advancing i past it: a surrogate pair is one character, an unpaired
// surrogate is "?".
inline char32_t ReadUtf16(std::u16string_view text, size_t& i) {
    const char32_t c = text[i++];
    if (IsHighSurrogate(c) && i < text.size() && IsLowSurrogate(text[i])) {
        return 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    return IsHighSurrogate(c) || IsLowSurrogate(c) ? u'?' : c;
}

// Writes c at out (one to four bytes) and returns the end of what it wrote.
inline char* WriteUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Writes c at out (one unit, or a surrogate pair) and returns the end of what it wrote.
inline char16_t* WriteUtf16(char32_t c, char16_t* out) {
    if (c < 0x10000) {
        *out++ = static_cast<char16_t>(c);
    } else {
        *out++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return out;
}

// Fills out by write(first), which writes at most `most` elements and returns the end of what it
// wrote: the string is sized once for the longest result, then cut to what was written.
template <class String, class Write>
void WriteString(String& out, size_t most, Write write) {
    out.resize(most);
    out.resize(static_cast<size_t>(write(out.data()) - out.data()));
}

}  // namespace vexa
