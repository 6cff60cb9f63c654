#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "imaging/decoded_picture.h"
#include "imaging/jpeg_decoding.h"
#include "imaging/picture_format.h"
#include "imaging/picture_header.h"
#include "imaging/pixbuf_decoding.h"
#include "platform/unique_fd.h"

namespace vexa {

namespace {

// The first piece of a file read: enough for any header of the formats streamed to their decoder.
constexpr size_t kStreamedHead = 256 * 1024;

// Reads into buffer until it is full or the file ends; -1 on a read error.
ssize_t ReadFully(int fd, std::span<uint8_t> buffer) {
    size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t got = read(fd, buffer.data() + total, buffer.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

// The rest of a file after head, up to one byte past the limit; nullopt on a read error.
std::optional<std::vector<uint8_t>> ReadRest(int fd, std::vector<uint8_t> head) {
    size_t size = head.size();
    while (size <= kMaxPictureBytes) {
        head.resize(std::min(std::max(2 * size, size_t{64 * 1024}), kMaxPictureBytes + 1));
        const ssize_t got = ReadFully(fd, std::span(head).subspan(size));
        if (got < 0) return std::nullopt;
        size += static_cast<size_t>(got);
        if (size < head.size()) break;
    }
    head.resize(size);
    return head;
}

}  // namespace

std::optional<DecodedPicture> DecodePictureFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) return std::nullopt;
    struct stat info {};
    // The size is checked again while reading: a device or a pipe reports none.
    if (fstat(file.Get(), &info) != 0 || static_cast<uint64_t>(info.st_size) > kMaxPictureBytes)
        return std::nullopt;

    std::vector<uint8_t> chunk(kStreamedHead);
    ssize_t got = ReadFully(file.Get(), chunk);
    if (got <= 0) return std::nullopt;
    chunk.resize(static_cast<size_t>(got));
    const std::optional<PictureFormat> format = PictureFormatOf(chunk);
    if (!format) return std::nullopt;

    // PNG and BMP go to their decoder in pieces, which keeps memory near one bitmap; their headers
    // lie within the first piece. The other formats are read whole first and checked as bytes:
    // TurboJPEG decodes from memory only, and the structure of GIF, ICO and TIFF may lie anywhere.
    const bool streamed = (*format == PictureFormat::kPng || *format == PictureFormat::kBmp) &&
                          S_ISREG(info.st_mode) && chunk.size() == kStreamedHead;
    if (!streamed) {
        const std::optional<std::vector<uint8_t>> whole = ReadRest(file.Get(), std::move(chunk));
        if (!whole) return std::nullopt;
        return DecodePictureBytes(*whole);
    }
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    if (!HeaderHoldsTogether(*format, chunk, fileSize)) return std::nullopt;
    PixbufDecoding decoding(*format);
    // An interlaced PNG delivers every row in its first pass: only its end chunk tells it whole.
    PngEndWatch pngEnd;
    size_t total = 0;
    while (got > 0) {
        total += static_cast<size_t>(got);
        // The header was checked against the size the file had: one that grows while it is read
        // is not the picture that was checked.
        if (total > fileSize) return std::nullopt;
        const std::span<const uint8_t> piece(chunk.data(), static_cast<size_t>(got));
        pngEnd.Feed(piece);
        if (!decoding.Write(piece)) return std::nullopt;
        got = ReadFully(file.Get(), chunk);
    }
    if (got < 0 || total != fileSize || (*format == PictureFormat::kPng && !pngEnd.Ended()))
        return std::nullopt;
    return decoding.Finish();
}

std::optional<DecodedPicture> DecodePictureBytes(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxPictureBytes) return std::nullopt;
    // libjpeg fills in what a progressive JPEG cut short lacks, and an interlaced PNG's rows all
    // arrive early: a picture that stops before its end is not taken, whatever the decoder thinks.
    if (!PassesPictureChecks(bytes)) return std::nullopt;
    const std::optional<PictureFormat> format = PictureFormatOf(bytes);
    if (*format == PictureFormat::kJpeg) return DecodeJpeg(bytes);
    PixbufDecoding decoding(*format);
    if (!decoding.Write(bytes)) return std::nullopt;
    return decoding.Finish();
}

}  // namespace vexa
