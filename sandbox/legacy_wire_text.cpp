#include "sandbox/legacy_wire_text.h"

#include "automation/text.h"

namespace vexa::sandbox {

namespace {

// Only the two escapes the client writes are undone; any other backslash is text. No CP949 trail
// byte is a backslash or an apostrophe, so a bytewise scan cannot split a character.
std::string UnescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '\'')) ++i;
        out += text[i];
    }
    return out;
}

}  // namespace

std::string FieldFromWire(std::string_view local) { return LocalToUtf8(UnescapeField(local)); }

std::string TextFromWire(std::string_view local) { return LocalToUtf8(local); }

std::string TextToWire(std::string_view utf8) { return Utf8ToLocal(utf8); }

}  // namespace vexa::sandbox
