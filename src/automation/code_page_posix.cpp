// The local code page on the component's own table (cp949_table.h), the mapping of glibc's iconv
// "CP949" at a small part of its cost. One reader and one writer of CP949 characters do the work;
// the UTF-16 and UTF-8 ends are thin adapters around them, each sizing its output once.
#include "automation/code_page.h"
#include "automation/cp949_table.h"
#include "automation/unicode.h"

namespace vexa {

namespace {

// The character at text[i], advancing i past it; "?" for bytes that are no character, which cover
// as many bytes as Cp949Unit says.
char16_t ReadLocal(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if (i + 1 < text.size()) {
        if (const char16_t c = cp949::Decode(lead, static_cast<unsigned char>(text[i + 1]))) {
            i += 2;
            return c;
        }
    }
    i += Cp949Unit(text.substr(i));
    return u'?';
}

// Writes c in CP949 at out ("?" when the code page has no such character) and returns the end of
// what it wrote: one byte or two.
char* WriteLocal(char32_t c, const cp949::EncodeTable& table, char* out) {
    const uint16_t code = c < 0x80 || c > 0xFFFF ? 0 : table.Code(static_cast<char16_t>(c));
    if (code != 0) {
        *out++ = static_cast<char>(code >> 8);
        *out++ = static_cast<char>(code & 0xFF);
    } else {
        *out++ = c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace

bool EncodeLocal(std::u16string_view text, std::string& out) {
    const cp949::EncodeTable& table = cp949::EncodeTable::Get();
    // A code unit becomes at most two bytes (a surrogate pair, two units, one "?").
    WriteString(out, text.size() * 2, [&](char* at) {
        for (size_t i = 0; i < text.size();) at = WriteLocal(ReadUtf16(text, i), table, at);
        return at;
    });
    return true;
}

bool EncodeLocalFromUtf8(std::string_view utf8, std::string& out) {
    const cp949::EncodeTable& table = cp949::EncodeTable::Get();
    // A UTF-8 sequence becomes at most as many bytes as it has.
    WriteString(out, utf8.size(), [&](char* at) {
        for (size_t i = 0; i < utf8.size();) at = WriteLocal(ReadUtf8(utf8, i), table, at);
        return at;
    });
    return true;
}

bool DecodeLocal(std::string_view text, std::u16string& out) {
    // A character takes at least one byte.
    WriteString(out, text.size(), [&](char16_t* at) {
        for (size_t i = 0; i < text.size();) *at++ = ReadLocal(text, i);
        return at;
    });
    return true;
}

bool DecodeLocalToUtf8(std::string_view text, std::string& out) {
    // A single byte stays one byte; a two-byte character becomes at most three.
    WriteString(out, text.size() + text.size() / 2, [&](char* at) {
        for (size_t i = 0; i < text.size();) at = WriteUtf8(ReadLocal(text, i), at);
        return at;
    });
    return true;
}

}  // namespace vexa
