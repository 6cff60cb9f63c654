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

    std::vector<uint8_t> chunk(256 * 1024);
    ssize_t got = ReadFully(file.Get(), chunk);
    if (got <= 0) return std::nullopt;
    chunk.resize(static_cast<size_t>(got));
    const std::optional<PictureFormat> format = PictureFormatOf(chunk);
    if (!format) return std::nullopt;

    // TurboJPEG decodes from memory only.
    if (*format == PictureFormat::kJpeg) {
        const std::optional<std::vector<uint8_t>> whole = ReadRest(file.Get(), std::move(chunk));
        if (!whole) return std::nullopt;
        return DecodePictureBytes(*whole);
    }
    PixbufDecoding decoding(*format);
    // An interlaced PNG delivers every row in its first pass: only its end chunk tells it whole.
    PngEndWatch pngEnd;
    size_t total = 0;
    chunk.resize(chunk.capacity());
    while (got > 0) {
        total += static_cast<size_t>(got);
        if (total > kMaxPictureBytes) return std::nullopt;
        const std::span<const uint8_t> piece(chunk.data(), static_cast<size_t>(got));
        pngEnd.Feed(piece);
        if (!decoding.Write(piece)) return std::nullopt;
        got = ReadFully(file.Get(), chunk);
    }
    if (got < 0 || (*format == PictureFormat::kPng && !pngEnd.Ended())) return std::nullopt;
    return decoding.Finish();
}

std::optional<DecodedPicture> DecodePictureBytes(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxPictureBytes) return std::nullopt;
    const std::optional<PictureFormat> format = PictureFormatOf(bytes);
    // libjpeg fills in what a progressive JPEG cut short lacks, and an interlaced PNG's rows all
    // arrive early: a picture that stops before its end is not taken, whatever the decoder thinks.
    if (!format || !ReachesItsEnd(*format, bytes)) return std::nullopt;
    if (*format == PictureFormat::kJpeg) return DecodeJpeg(bytes);
    PixbufDecoding decoding(*format);
    if (!decoding.Write(bytes)) return std::nullopt;
    return decoding.Finish();
}

}  // namespace vexa
