// libxml2 is built without iconv on Windows: documents declared EUC-KR or CP949 are read through
// the system's code page 949, as strictly as iconv reads them (a byte sequence the code page does
// not define fails the parse).
#include <windows.h>

#include <algorithm>
#include <libxml/encoding.h>
#include <string_view>

#include "automation/code_page.h"
#include "rest/xml_encodings.h"

namespace vexa {

namespace {

constexpr UINT kCodePage = 949;

bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Converts in (whole CP949 characters) to UTF-8 at out; the UTF-8 length, or -1 when a character
// is not defined in the code page.
int Utf8FromLocal(std::string_view in, unsigned char* out, int room) {
    if (in.empty()) return 0;
    const int wideLength = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, in.data(),
                                               static_cast<int>(in.size()), nullptr, 0);
    if (wideLength <= 0) return -1;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), wide.data(),
                        wideLength);
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, reinterpret_cast<char*>(out), room,
                               nullptr, nullptr);
}

// libxml2's input conversion: as many whole characters as fit (a lead byte at the very end waits
// for its trail byte in the next call); -2 at the first character the code page does not define.
int LocalToUtf8(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (!out || !outlen || !inlen) return -1;
    if (!in) {
        *outlen = 0;
        *inlen = 0;
        return 0;
    }
    const std::string_view source(reinterpret_cast<const char*>(in), static_cast<size_t>(*inlen));
    // A character of at most two bytes is at most three in UTF-8.
    const size_t budget = static_cast<size_t>(*outlen) / 3 * 2;
    size_t take = 0;
    while (take < source.size()) {
        const bool waitsForTrail =
            IsLeadByte(static_cast<unsigned char>(source[take])) && take + 1 == source.size();
        const size_t unit = Cp949Unit(source.substr(take));
        if (waitsForTrail || take + unit > budget) break;
        take += unit;
    }
    int written = Utf8FromLocal(source.substr(0, take), out, *outlen);
    if (written >= 0) {
        *inlen = static_cast<int>(take);
        *outlen = written;
        return written;
    }
    // Convert what precedes the first undefined character, and report it.
    size_t good = 0;
    while (good < take) {
        const size_t unit = Cp949Unit(source.substr(good));
        unsigned char probe[8];
        if (Utf8FromLocal(source.substr(good, unit), probe, sizeof probe) < 0) break;
        good += unit;
    }
    written = std::max(Utf8FromLocal(source.substr(0, good), out, *outlen), 0);
    *inlen = static_cast<int>(good);
    *outlen = written;
    return -2;
}

}  // namespace

void RegisterLocalEncodings() {
    // Registered for the life of the process (libxml2 keeps the handlers in its global table).
    for (const char* name : {"EUC-KR", "CP949"}) xmlNewCharEncodingHandler(name, LocalToUtf8, nullptr);
}

}  // namespace vexa
