// Pictures decoded by GDI+ and re-encoded as JPEG by its encoder: the Windows side of image
// entries. GDI+ allocates whatever size a picture declares and keeps what it has of one cut short,
// so the bytes pass PassesPictureChecks (picture_header.h) before it sees them. DecodesAsPicture
// (picture_check.h) is GDI+'s too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// The JPEG of the picture in a file (UTF-8 path, opened through the wide API so that any name
// opens), at the encoder's default quality; transparency painted onto white. Nullopt when the
// file cannot be read, fails the checks, or cannot be decoded or encoded; std::bad_alloc when
// memory runs out.
std::optional<std::vector<uint8_t>> GdiplusJpegOfFile(const std::string& path);

}  // namespace vexa
