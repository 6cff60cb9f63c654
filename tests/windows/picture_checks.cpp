// Pictures into image entries over GDI+, run under Wine: the formats taken and what their JPEG
// shows (transparency on white), the text's shape, streams embedded byte for byte, and what is
// refused before GDI+ sees it. One line per check, a final sentinel line, and the exit status is
// the number of failures.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "imaging/image_entry.h"
#include "jpeg_pixels.h"
#include "picture_bytes.h"
#include "vexa/com_ptr.h"

namespace {

using vexa::ImageEntry;
using vexa::test::PictureBytes;
using vexa::test::Rgba;
namespace fs = std::filesystem;

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

const std::string kPrefix = "data:image/jpeg;base64,";

// The JPEG an entry carries; empty when the text is not prefix and CR LF ended Base64 lines of
// 64 characters (the last one shorter or equal).
PictureBytes EntryBytes(const ImageEntry& entry) {
    const std::string& uri = entry.dataUri;
    if (uri.compare(0, kPrefix.size(), kPrefix) != 0) return {};
    std::string text;
    for (size_t at = kPrefix.size(); at < uri.size();) {
        const size_t end = uri.find("\r\n", at);
        if (end == std::string::npos || end - at > 64 || end == at) return {};
        if (end - at < 64 && end + 2 != uri.size()) return {};  // a short line before the last
        text.append(uri, at, end - at);
        at = end + 2;
    }
    if (text.size() % 4 != 0) return {};
    return vexa::test::Base64Bytes(text);
}

bool Near(uint8_t got, uint8_t want) { return got + 8 >= want && got <= want + 8; }

fs::path Directory() {
    static const fs::path dir = [] {
        const fs::path made = fs::temp_directory_path() / "vexa-picture-checks";
        fs::remove_all(made);
        fs::create_directories(made);
        return made;
    }();
    return dir;
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// A path of UTF-8 text, whatever the ANSI code page.
fs::path Named(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Write(const fs::path& name, const PictureBytes& bytes) {
    return Utf8(vexa::test::WriteFile(Directory() / name, bytes));
}

vexa::ComPtr<IStream> StreamOf(const PictureBytes& bytes) {
    vexa::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, 1, stream.Out()))) return stream;
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    return stream;
}

PictureBytes Noise(size_t n) {
    PictureBytes bytes(n);
    std::mt19937 random(7);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

PictureBytes CutShort(PictureBytes bytes) {
    bytes.resize(bytes.size() * 9 / 10);
    return bytes;
}

// A picture whose pixels do not compress away.
PictureBytes PatternedPng(uint32_t width, uint32_t height, bool interlaced = false) {
    return vexa::test::PngPicture(
        width, height, false,
        [](uint32_t x, uint32_t y) {
            return Rgba{uint8_t(x * 37 ^ y * 11), uint8_t(y * 5), uint8_t(x + y), 255};
        },
        interlaced);
}

// The system encoder's JPEG of a PNG, through the module: the JPEG these checks feed back in.
PictureBytes JpegOf(const PictureBytes& png, const char* name) {
    const std::optional<ImageEntry> entry = vexa::MakeEntryFromFile(Write(name, png));
    return entry ? EntryBytes(*entry) : PictureBytes{};
}

// A picture by the name it is written or shown under.
struct NamedPicture {
    const char* name;
    PictureBytes bytes;
};

struct Accepted {
    const char* name;
    PictureBytes bytes;
    int width, height;
    Rgba colour;  // of the top-left pixel, after flattening
};

void FilesOfEveryFormatBecomeJpegs(const PictureBytes& jpeg) {
    const Rgba red{200, 30, 40, 255}, blue{20, 40, 220, 255}, white{255, 255, 255, 255};
    const Accepted cases[] = {
        {"1x1.png", vexa::test::SolidPng(1, 1, red), 1, 1, red},
        {"transparent.png", vexa::test::SolidPng(9, 7, {0, 0, 0, 0}), 9, 7, white},
        {"half.png", vexa::test::SolidPng(8, 8, {0, 0, 0, 128}), 8, 8, {127, 127, 127, 255}},
        {"photo.jpg", jpeg, 33, 17, blue},
        {"palette.gif", vexa::test::PaletteGif(5, 3, red, blue, {0, 1}), 5, 3, red},
        {"transparent.gif", vexa::test::PaletteGif(6, 2, red, blue, {0}, 0), 6, 2, white},
        {"picture.bmp", vexa::test::SolidBmp(10, 4, blue), 10, 4, blue},
        {"interlaced.png",
         vexa::test::PngPicture(
             9, 5, false, [&](uint32_t, uint32_t) { return red; }, true),
         9, 5, red},
        {"icon.ico", vexa::test::PngIcon(vexa::test::SolidPng(16, 16, red), 16, 16), 16, 16, red},
        {"사진 한 장.png", vexa::test::SolidPng(2, 2, blue), 2, 2, blue},
    };
    for (const Accepted& c : cases) {
        const std::string what = std::string("file ") + c.name;
        const std::optional<ImageEntry> entry = vexa::MakeEntryFromFile(Write(Named(c.name), c.bytes));
        if (!entry) {
            Check(false, what + ": no entry");
            continue;
        }
        const PictureBytes bytes = EntryBytes(*entry);
        Check(entry->dataUri.compare(kPrefix.size(), 4, "/9j/") == 0 &&
                  entry->bytes == static_cast<LONG>(bytes.size()),
              what + ": a JPEG in 64-character lines whose byte count is the entry's");
        const std::optional<vexa::test::JpegLook> look = vexa::test::LookAtJpeg(bytes);
        Check(look && look->width == c.width && look->height == c.height && Near(look->r, c.colour.r) &&
                  Near(look->g, c.colour.g) && Near(look->b, c.colour.b),
              what + ": size and colour" +
                  (look ? " (" + std::to_string(look->width) + "x" + std::to_string(look->height) + " " +
                              std::to_string(look->r) + "," + std::to_string(look->g) + "," +
                              std::to_string(look->b) + ")"
                        : std::string(" (no JPEG)")));
    }
}

void HostileDamagedAndForeignFilesAreRefused(const PictureBytes& jpeg) {
    PictureBytes hugeGif = vexa::test::PaletteGif(40, 40, {0, 0, 0, 255}, {9, 9, 9, 255}, {0});
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = 0xFF;  // 65535 × 65535 declared
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>";
    const NamedPicture cases[] = {
        {"noise.jpg", Noise(4096)},
        {"empty.png", {}},
        {"drawing.svg", PictureBytes(svg.begin(), svg.end())},
        {"cut.png", CutShort(PatternedPng(64, 48))},
        {"cut-interlaced.png", CutShort(PatternedPng(64, 48, true))},
        {"cut.jpg", CutShort(jpeg)},
        {"cut.gif", CutShort(vexa::test::PaletteGif(40, 40, {0, 0, 0, 255}, {9, 9, 9, 255}, {0}))},
        {"cut.bmp", CutShort(vexa::test::SolidBmp(30, 30, {1, 2, 3, 255}))},
        {"huge.png", vexa::test::PngHeader(60000, 60000)},
        {"wide.png", vexa::test::PngHeader(100'000'001, 1)},
        {"huge.jpg", vexa::test::JpegDeclaring(jpeg, 60000, 60000)},
        {"huge.gif", hugeGif},
        {"huge.bmp", vexa::test::BmpHeader(50000, 50000)},
        {"huge.ico", vexa::test::PngIcon(vexa::test::PngHeader(60000, 60000), 0, 0)},
    };
    for (const auto& c : cases) {
        Check(!vexa::MakeEntryFromFile(Write(c.name, c.bytes)), std::string("file ") + c.name + ": refused");
    }
    Check(!vexa::MakeEntryFromFile(Utf8(Directory() / "missing.png")), "file missing: refused");
    Check(!vexa::MakeEntryFromFile(Utf8(Directory())), "a directory: refused");
    Check(!vexa::MakeEntryFromFile(""), "no path: refused");

    // A valid picture start, then holes up to the limit and one byte beyond.
    const std::string big = Write("big.png", vexa::test::SolidPng(1, 1, {1, 2, 3, 255}));
    fs::resize_file(Named(big), (64u << 20) + 1);
    Check(!vexa::MakeEntryFromFile(big), "file above 64 MiB: refused");
}

void StreamsAreEmbeddedByteForByte(const PictureBytes& jpeg) {
    const NamedPicture cases[] = {{"jpeg", jpeg}, {"png", vexa::test::SolidPng(3, 3, {10, 200, 10, 255})}};
    for (const auto& c : cases) {
        // The stream's position is at its end after writing: the whole content still counts.
        const vexa::ComPtr<IStream> stream = StreamOf(c.bytes);
        const std::optional<ImageEntry> entry = vexa::MakeEntryFromStream(stream.Get());
        Check(entry && entry->bytes == static_cast<LONG>(c.bytes.size()) && EntryBytes(*entry) == c.bytes,
              std::string("stream ") + c.name + ": embedded byte for byte");
    }
    const NamedPicture refused[] = {
        {"random bytes", Noise(1000)},
        {"empty", {}},
        {"cut-short jpeg", CutShort(jpeg)},
        {"cut-short png", CutShort(PatternedPng(64, 48))},
        {"cut-short interlaced png", CutShort(PatternedPng(64, 48, true))},
        {"png declaring 3.6 gigapixels", vexa::test::PngHeader(60000, 60000)},
    };
    for (const auto& c : refused) {
        Check(!vexa::MakeEntryFromStream(StreamOf(c.bytes).Get()),
              std::string("stream ") + c.name + ": refused");
    }
    Check(!vexa::MakeEntryFromStream(nullptr), "no stream: refused");
}

// GDI+ is started and stopped by whichever call comes first and goes last.
void EntriesAreMadeOnSeveralThreadsAtOnce() {
    const std::string png = Write("threads.png", PatternedPng(200, 150));
    std::vector<int> made(4, 0);
    {
        std::vector<std::jthread> threads;
        for (int& count : made) {
            threads.emplace_back([&png, &count] {
                for (int i = 0; i < 5; ++i) count += vexa::MakeEntryFromFile(png).has_value();
            });
        }
    }
    bool all = true;
    for (int count : made) all = all && count == 5;
    Check(all, "entries on four threads at once: all made");
}

}  // namespace

int main() {
    const PictureBytes jpeg = JpegOf(vexa::test::SolidPng(33, 17, {20, 40, 220, 255}), "source.png");
    Check(!jpeg.empty(), "a PNG becomes a JPEG to feed back in");
    FilesOfEveryFormatBecomeJpegs(jpeg);
    HostileDamagedAndForeignFilesAreRefused(jpeg);
    StreamsAreEmbeddedByteForByte(jpeg);
    EntriesAreMadeOnSeveralThreadsAtOnce();
    std::error_code ignored;
    fs::remove_all(Directory(), ignored);
    std::printf("DONE %d failed\n", failures);
    return failures;
}
