// The one place where text changes encoding. Inside the component text is local text: CP949
// bytes in std::string. BSTRs are UTF-16 and XML is UTF-8; both meet local text only here.
//
// A character that the target cannot hold (an emoji in CP949), an invalid byte sequence or an
// unpaired surrogate becomes "?" and the conversion goes on with the rest of the text.
#pragma once

#include <string>
#include <string_view>

#include "automation/bstr.h"
#include "vexa/automation.h"

namespace vexa {

std::string ToUtf8(std::u16string_view text);
std::u16string Utf16FromUtf8(std::string_view text);

std::string ToLocal(std::u16string_view text);
// The whole BSTR (its length prefix, not its first NUL); null is the empty string.
std::string ToLocal(BSTR text);
std::u16string Utf16FromLocal(std::string_view text);
// Null only when memory runs out.
Bstr BstrFromLocal(std::string_view text);

std::string LocalToUtf8(std::string_view text);
// LocalToUtf8 without a string of its own, for callers that convert text after text: text itself
// when it is ASCII (the same in both), else its UTF-8 made in buffer, whose memory the next call
// reuses.
std::string_view LocalAsUtf8(std::string_view text, std::string& buffer);
std::string Utf8ToLocal(std::string_view text);

}  // namespace vexa
