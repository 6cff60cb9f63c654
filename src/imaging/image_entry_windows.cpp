#include "imaging/gdiplus_pictures.h"
#include "imaging/image_entry.h"

namespace vexa {

std::optional<ImageEntry> MakeEntryFromFile(const std::string& path) {
    const std::optional<std::vector<uint8_t>> jpeg = GdiplusJpegOfFile(path);
    if (!jpeg) return std::nullopt;
    return ImageEntry{JpegDataUri(*jpeg), static_cast<LONG>(jpeg->size())};
}

}  // namespace vexa
