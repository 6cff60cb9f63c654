#include "sandbox/legacy_wire_text.h"

#include "automation/text.h"
#include "legacy/protocol/escape_field.h"

namespace vexa::sandbox {

std::string FieldFromWire(std::string_view local) { return LocalToUtf8(VexaCore::UnescapeField(local)); }

std::string TextFromWire(std::string_view local) { return LocalToUtf8(local); }

std::string TextToWire(std::string_view utf8) { return Utf8ToLocal(utf8); }

}  // namespace vexa::sandbox
