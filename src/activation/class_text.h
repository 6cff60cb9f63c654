// The text a host names a class by: a CLSID in braces or a ProgID, checked before it is looked up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vexa/automation.h"

namespace vexa::activation {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hex digits of either case; nullopt for anything else.
std::optional<CLSID> ParseClsid(std::string_view text);

// A ProgID as a registry key name can hold it: ASCII letters, digits, '.', '_' and '-'. Nothing
// else, so that no name reaches into another key ("CLSID\{...}") or out of the file's syntax.
bool IsProgId(std::string_view text);

// The host's UTF-16 text as ASCII; nullopt when it holds anything else (no ProgID and no CLSID
// does).
std::optional<std::string> AsciiText(const OLECHAR* text);

}  // namespace vexa::activation
