// The system's code page 949 converts to and from UTF-16 only, so UTF-8 goes through UTF-16.
#include "automation/code_page.h"
#include "automation/text.h"

namespace vexa {

bool EncodeLocalFromUtf8(std::string_view utf8, std::string& out) {
    return EncodeLocal(Utf16FromUtf8(utf8), out);
}

bool DecodeLocalToUtf8(std::string_view text, std::string& out) {
    std::u16string wide;
    if (!DecodeLocal(text, wide)) return false;
    out = ToUtf8(wide);
    return true;
}

}  // namespace vexa
