// The local code page on the system's code page 949. A text converts in one call; only a text
// holding something the code page cannot take is gone through again character by character, so
// that each such character becomes one "?" as on Linux.
#include <windows.h>

#include <climits>

#include "automation/code_page.h"

namespace vexa {

namespace {

constexpr UINT kCodePage = 949;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

size_t Utf16Unit(std::u16string_view rest) {
    return rest.size() >= 2 && IsHighSurrogate(rest[0]) && IsLowSurrogate(rest[1]) ? 2 : 1;
}

// Appends piece in CP949; false (nothing appended) when a character of it has no CP949 form.
bool AppendEncoded(std::u16string_view piece, std::string& out) {
    if (piece.empty()) return true;
    if (piece.size() > INT_MAX / 2) return false;
    const auto* in = reinterpret_cast<const wchar_t*>(piece.data());
    const int inLength = static_cast<int>(piece.size());
    BOOL usedDefault = FALSE;
    const int n =
        WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, in, inLength, nullptr, 0, "?", &usedDefault);
    if (n <= 0 || usedDefault) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, in, inLength, out.data() + at, n, "?", nullptr);
    return true;
}

// Appends piece as UTF-16; false (nothing appended) when it holds a sequence CP949 does not define.
bool AppendDecoded(std::string_view piece, std::u16string& out) {
    if (piece.empty()) return true;
    if (piece.size() > INT_MAX) return false;
    const int inLength = static_cast<int>(piece.size());
    const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, piece.data(), inLength, nullptr, 0);
    if (n <= 0) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, piece.data(), inLength,
                        reinterpret_cast<wchar_t*>(out.data() + at), n);
    return true;
}

// A byte of 0x80 or more that is not part of a two-byte character: CP949 defines none (the
// system's table maps 0x80 to U+0080 and back, which iconv's CP949 does not).
bool HasLoneHighByte(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t unit = Cp949Unit(text.substr(i));
        if (unit == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return true;
        i += unit;
    }
    return false;
}

}  // namespace

bool EncodeLocal(std::u16string_view text, std::string& out) {
    out.clear();
    if (!IsValidCodePage(kCodePage)) return false;
    if (AppendEncoded(text, out) && !HasLoneHighByte(out)) return true;
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const size_t unit = Utf16Unit(text.substr(i));
        std::string one;
        out += AppendEncoded(text.substr(i, unit), one) && !HasLoneHighByte(one) ? one : "?";
        i += unit;
    }
    return true;
}

bool DecodeLocalExactly(std::string_view text, std::u16string& out) {
    out.clear();
    return !HasLoneHighByte(text) && AppendDecoded(text, out);
}

bool DecodeLocal(std::string_view text, std::u16string& out) {
    out.clear();
    if (!IsValidCodePage(kCodePage)) return false;
    // Runs between lone high bytes go to the system whole; only a run it refuses goes again
    // character by character.
    size_t run = 0;
    const auto decodeRun = [&](size_t end) {
        const std::string_view piece = text.substr(run, end - run);
        if (AppendDecoded(piece, out)) return;
        for (size_t i = 0; i < piece.size();) {
            const size_t unit = Cp949Unit(piece.substr(i));
            if (!AppendDecoded(piece.substr(i, unit), out)) out += u'?';
            i += unit;
        }
    };
    for (size_t i = 0; i < text.size();) {
        const size_t unit = Cp949Unit(text.substr(i));
        if (unit == 1 && static_cast<unsigned char>(text[i]) >= 0x80) {
            decodeRun(i);
            out += u'?';
            run = i + 1;
        }
        i += unit;
    }
    decodeRun(text.size());
    return true;
}

}  // namespace vexa
