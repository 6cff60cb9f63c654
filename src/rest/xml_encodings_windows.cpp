// libxml2 is built without iconv on Windows: documents declared EUC-KR or CP949 are read through
// the system's code page 949, as strictly as iconv reads them (a byte sequence the code page does
// not define fails the parse).
#include <windows.h>

#include <algorithm>
#include <libxml/encoding.h>
#include <string_view>

#include "automation/code_page.h"
#include "platform/windows_text.h"
#include "rest/xml_encodings.h"

namespace vexa {

namespace {

bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Converts in (whole CP949 characters) to UTF-8 at out; the UTF-8 length, or -1 when a character
// is not defined in the code page or the text does not fit.
int Utf8FromLocal(std::string_view in, unsigned char* out, int room) {
    std::u16string wide;
    if (!DecodeLocalExactly(in, wide)) return -1;
    const std::string utf8 = Utf8FromWide({reinterpret_cast<const wchar_t*>(wide.data()), wide.size()});
    if (utf8.size() > static_cast<size_t>(room)) return -1;
    std::copy(utf8.begin(), utf8.end(), out);
    return static_cast<int>(utf8.size());
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
