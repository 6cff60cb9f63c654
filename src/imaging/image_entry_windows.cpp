// Pictures are not decoded on Windows yet (GDI+ comes next): every picture is refused, as one
// that cannot be decoded is.
#include "imaging/image_entry.h"

namespace vexa {

std::optional<ImageEntry> MakeEntryFromFile(const std::string&) { return std::nullopt; }

std::optional<ImageEntry> MakeEntryFromStream(IStream*) { return std::nullopt; }

}  // namespace vexa
