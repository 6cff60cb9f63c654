// Image entries: a picture as a multimedia message carries it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "vexa/automation.h"

namespace vexa {

// The JPEG bytes as a data URI ("data:image/jpeg;base64," and Base64 lines), and how many they are.
struct ImageEntry {
    std::string dataUri;
    LONG bytes = 0;
};

// The data URI of bytes that are taken to be a JPEG.
std::string JpegDataUri(std::span<const uint8_t> jpeg);

// A picture file of any format we decode, re-encoded as JPEG. The path (UTF-8) is opened as given
// (on Windows through the wide API, so names outside the ANSI code page open too).
// Nullopt for anything that cannot be read, decoded or encoded; std::bad_alloc when memory runs
// out on the way (the caller that a host called holds the one catch).
std::optional<ImageEntry> MakeEntryFromFile(const std::string& path);

// The whole content of a stream, from its start, embedded as it is once it has been checked to
// decode as a picture. The stream is only read; its position ends up at its end. Nullopt or
// std::bad_alloc as above.
std::optional<ImageEntry> MakeEntryFromStream(IStream* stream);

}  // namespace vexa
