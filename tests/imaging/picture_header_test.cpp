// What pictures declare of themselves, read from their structure: sizes (largest of several
// images), whether the bytes reach the picture's end, and the checks made before decoding.
#include "imaging/picture_header.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <turbojpeg.h>

#include "picture_fixtures.h"

namespace vexa {
namespace {

using test::PictureBytes;
using test::Rgba;

constexpr Rgba kRed{200, 30, 40, 255};

PictureBytes Patterned(const char* format, int width, int height) {
    return test::SavedPicture(format, width, height, false, [](int x, int y) {
        return Rgba{uint8_t(x * 37 ^ y * 11), uint8_t(y * 5), uint8_t(x + y), 255};
    });
}

// A JPEG with an application segment (as cameras write) between its start and its frame header.
PictureBytes JpegWithExif() {
    PictureBytes jpeg = test::EncodedJpeg(24, 10, TJPF_RGB, TJSAMP_420, 100);
    const PictureBytes app1{0xFF, 0xE1, 0x00, 0x08, 'E', 'x', 'i', 'f', 0, 0};
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

// A GIF whose one frame reaches beyond its 4 × 4 screen, to 300 × 200.
PictureBytes GifWithWideFrame() {
    PictureBytes gif = test::PaletteGif(4, 4, kRed, kRed, {0});
    const size_t frame = 13 + 6 + 8;         // screen, two-colour table, control extension
    gif[frame + 1] = 40;                     // left
    gif[frame + 3] = 0;                      // top
    gif[frame + 5] = 4, gif[frame + 6] = 1;  // width 260
    gif[frame + 7] = 200, gif[frame + 8] = 0;
    return gif;
}

struct SizeCase {
    const char* name;
    PictureFormat format;
    PictureBytes bytes;
    uint64_t width, height;
};

TEST(PictureHeaderTest, SizesAreReadAsDeclared) {
    const SizeCase cases[] = {
        {"png", PictureFormat::kPng, Patterned("png", 33, 17), 33, 17},
        {"byte-built png", PictureFormat::kPng, test::SolidPng(5, 300, kRed), 5, 300},
        {"jpeg", PictureFormat::kJpeg, Patterned("jpeg", 70, 9), 70, 9},
        {"jpeg after an exif segment", PictureFormat::kJpeg, JpegWithExif(), 24, 10},
        {"gif", PictureFormat::kGif, test::PaletteGif(5, 3, kRed, kRed, {0, 1}), 5, 3},
        {"gif frame beyond its screen", PictureFormat::kGif, GifWithWideFrame(), 300, 200},
        {"bmp", PictureFormat::kBmp, Patterned("bmp", 10, 4), 10, 4},
        {"byte-built bmp", PictureFormat::kBmp, test::SolidBmp(3, 7, kRed), 3, 7},
        {"top-down bmp", PictureFormat::kBmp, test::BmpHeader(6, -5), 6, 5},
        {"ico", PictureFormat::kIco, Patterned("ico", 16, 16), 16, 16},
        {"ico of a png", PictureFormat::kIco, test::PngIcon(test::SolidPng(20, 10, kRed), 20, 10), 20, 10},
        {"ico of a png that declares more", PictureFormat::kIco,
         test::PngIcon(test::PngHeader(60000, 60000), 0, 0), 60000, 60000},
        {"tiff", PictureFormat::kTiff, Patterned("tiff", 12, 6), 12, 6},
        {"huge png", PictureFormat::kPng, test::PngHeader(100'000'001, 4'000'000'000), 100'000'001,
         4'000'000'000},
        {"huge bmp", PictureFormat::kBmp, test::BmpHeader(50000, 50000), 50000, 50000},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(PictureFormatOf(c.bytes), c.format);
        const std::optional<DeclaredSize> size = DeclaredPictureSize(c.format, c.bytes);
        ASSERT_TRUE(size);
        EXPECT_EQ(size->width, c.width);
        EXPECT_EQ(size->height, c.height);
    }
}

TEST(PictureHeaderTest, HeadersThatDeclareNoSizeGiveNone) {
    PictureBytes zeroWide = test::PngHeader(0, 10);
    PictureBytes pngCut = test::PngHeader(5, 5);
    pngCut.resize(20);
    PictureBytes jpegWithoutFrame = test::EncodedJpeg(8, 8, TJPF_RGB, TJSAMP_420, 1);
    jpegWithoutFrame.resize(20);
    const struct {
        const char* name;
        PictureFormat format;
        PictureBytes bytes;
    } cases[] = {
        {"png cut in its header", PictureFormat::kPng, pngCut},
        {"png of width 0", PictureFormat::kPng, zeroWide},
        {"jpeg cut before its frame", PictureFormat::kJpeg, jpegWithoutFrame},
        {"gif cut in its screen", PictureFormat::kGif, PictureBytes{'G', 'I', 'F', '8', '9', 'a', 4, 0}},
        {"bmp of width 0", PictureFormat::kBmp, test::BmpHeader(0, 5)},
        {"ico of no images", PictureFormat::kIco, PictureBytes{0, 0, 1, 0, 0, 0}},
        {"tiff cut in its directory", PictureFormat::kTiff,
         PictureBytes{'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_FALSE(DeclaredPictureSize(c.format, c.bytes)) << c.name;
}

TEST(PictureHeaderTest, PicturesCutShortDoNotReachTheirEnd) {
    PictureBytes gifWithoutTrailer = test::PaletteGif(40, 40, kRed, kRed, {0});
    gifWithoutTrailer.pop_back();
    const struct {
        const char* format;
        PictureFormat id;
    } formats[] = {{"png", PictureFormat::kPng},
                   {"jpeg", PictureFormat::kJpeg},
                   {"bmp", PictureFormat::kBmp},
                   {"ico", PictureFormat::kIco}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        PictureBytes bytes = Patterned(f.format, 64, 48);
        EXPECT_TRUE(ReachesItsEnd(f.id, bytes));
        bytes.resize(bytes.size() * 9 / 10);
        EXPECT_FALSE(ReachesItsEnd(f.id, bytes));
    }
    const PictureBytes gif = test::PaletteGif(40, 40, kRed, kRed, {0, 1});
    EXPECT_TRUE(ReachesItsEnd(PictureFormat::kGif, gif));
    EXPECT_FALSE(ReachesItsEnd(PictureFormat::kGif, PictureBytes(gif.begin(), gif.begin() + gif.size() / 2)));
    EXPECT_FALSE(ReachesItsEnd(PictureFormat::kGif, gifWithoutTrailer));
    EXPECT_TRUE(ReachesItsEnd(PictureFormat::kJpeg, JpegWithExif()));
    // Bytes after a JPEG's end marker (some cameras pad) leave it whole.
    PictureBytes padded = Patterned("jpeg", 8, 8);
    padded.resize(padded.size() + 100, 0);
    EXPECT_TRUE(ReachesItsEnd(PictureFormat::kJpeg, padded));
}

// A BMP whose rows are run-length coded: its structure gives no size for the rows to check.
PictureBytes RleBmp(int32_t width, int32_t height) {
    PictureBytes bmp = test::BmpHeader(width, height);
    bmp[10] = 54 + 4;  // the pixels after a palette of one colour
    bmp[28] = 8;       // bits per pixel
    bmp[30] = 1;       // RLE8
    bmp[46] = 1;       // colours used
    return bmp;
}

TEST(PictureHeaderTest, TheChecksBeforeDecodingTakeOnlyWholePicturesOfAllowedSize) {
    PictureBytes cut = Patterned("png", 64, 48);
    cut.resize(cut.size() / 2);
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>";
    const struct {
        const char* name;
        PictureBytes bytes;
        bool passes;
    } cases[] = {
        {"png", test::SolidPng(3, 3, kRed), true},
        {"100 megapixels", RleBmp(10000, 10000), true},
        {"one row more", RleBmp(10000, 10001), false},
        {"png of more", test::PngHeader(100'000'001, 1), false},
        {"cut short", cut, false},
        {"nothing", {}, false},
        {"svg", PictureBytes(svg.begin(), svg.end()), false},
    };
    for (const auto& c : cases) EXPECT_EQ(PassesPictureChecks(c.bytes), c.passes) << c.name;
}

void PutLe32(PictureBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}

void PutBe32(PictureBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (24 - 8 * i));
}

// Where a marker first appears.
size_t Find(const PictureBytes& b, std::initializer_list<uint8_t> marker) {
    const auto it = std::search(b.begin(), b.end(), marker.begin(), marker.end());
    if (it == b.end()) throw std::runtime_error("marker not found");
    return static_cast<size_t>(it - b.begin());
}

// The entry of a tag in a little-endian TIFF's first directory.
size_t TiffEntry(const PictureBytes& tiff, uint16_t tag) {
    const size_t directory = tiff.at(4) | tiff.at(5) << 8 | tiff.at(6) << 16 | size_t{tiff.at(7)} << 24;
    const size_t count = tiff.at(directory) | tiff.at(directory + 1) << 8;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        if ((tiff.at(entry) | tiff.at(entry + 1) << 8) == tag) return entry;
    }
    throw std::runtime_error("tag not found");
}

// A sound picture of each format, and that picture with one field of its header made hostile or
// inconsistent: decoders allocate from such fields before they find that the bytes cannot hold
// what they declare (a 118-byte BMP asked gdk-pixbuf for gigabytes through its header size).
TEST(PictureHeaderTest, HeadersThatDoNotHoldTogetherAreRefusedBeforeAnyDecoder) {
    using Mutation = std::function<void(PictureBytes&)>;
    const PictureBytes bmp = test::SolidBmp(3, 7, kRed);
    PictureBytes paletteBmp = test::SolidBmp(4, 2, kRed);  // made 8-bit with two colours below
    paletteBmp[28] = 8, paletteBmp[46] = 2, paletteBmp[10] = 54 + 8;
    const PictureBytes ico = Patterned("ico", 16, 16);
    const PictureBytes pngIco = test::PngIcon(test::SolidPng(20, 10, kRed), 20, 10);
    const PictureBytes png = test::SolidPng(5, 4, kRed);
    const PictureBytes jpeg = Patterned("jpeg", 16, 16);
    const size_t frame = Find(jpeg, {0xFF, 0xC0});
    const PictureBytes gif = test::PaletteGif(5, 3, kRed, kRed, {0});
    const size_t gifFrame = Find(gif, {0x2C});
    const PictureBytes tiff = Patterned("tiff", 12, 6);
    const struct {
        const char* name;
        const PictureBytes& sound;
        Mutation mutate;
    } cases[] = {
        {"bmp header of 4 GB", bmp, [](PictureBytes& b) { PutLe32(b, 14, 0xFFFFFFF0); }},
        {"bmp header of no known size", bmp, [](PictureBytes& b) { PutLe32(b, 14, 41); }},
        {"bmp pixels 4 GB on", bmp, [](PictureBytes& b) { PutLe32(b, 10, 0xFFFFFF00); }},
        {"bmp pixels inside its header", bmp, [](PictureBytes& b) { PutLe32(b, 10, 30); }},
        {"bmp rows beyond the file", bmp, [](PictureBytes& b) { PutLe32(b, 22, 8); }},
        {"bmp of 7 bits per pixel", bmp, [](PictureBytes& b) { b[28] = 7; }},
        {"bmp run-length coded at 24 bits", bmp, [](PictureBytes& b) { b[30] = 1; }},
        {"bmp of an unknown compression", bmp, [](PictureBytes& b) { b[30] = 9; }},
        {"bmp top down and run-length coded", paletteBmp,
         [](PictureBytes& b) { PutLe32(b, 22, uint32_t(-2)), b[30] = 1; }},
        {"bmp of more colours than 8 bits tell", paletteBmp, [](PictureBytes& b) { PutLe32(b, 46, 257); }},
        {"bmp pixels inside its palette", paletteBmp, [](PictureBytes& b) { PutLe32(b, 46, 200); }},
        {"ico image beyond the file", ico, [](PictureBytes& b) { PutLe32(b, 18, 0x7FFFFFF0); }},
        {"ico image longer than the file", ico, [](PictureBytes& b) { PutLe32(b, 14, 0x7FFFFFF0); }},
        {"ico image inside its directory", ico, [](PictureBytes& b) { PutLe32(b, 18, 6); }},
        {"ico directory beyond the file", ico, [](PictureBytes& b) { b[4] = b[5] = 0xFF; }},
        {"ico palette of 2^28 colours", ico, [](PictureBytes& b) { PutLe32(b, 22 + 32, 1u << 28); }},
        {"ico bitmap not of its directory's size", ico, [](PictureBytes& b) { b[22 + 4] = 17; }},
        {"ico bitmap compressed", ico, [](PictureBytes& b) { b[22 + 16] = 1; }},
        {"ico png of more than the limit", pngIco,
         [](PictureBytes& b) { PutBe32(b, 22 + 16, 20'000), PutBe32(b, 22 + 20, 20'000); }},
        {"png header of 14 bytes", png, [](PictureBytes& b) { b[11] = 14; }},
        {"png of 3-bit rgba", png, [](PictureBytes& b) { b[24] = 3; }},
        {"png of colour type 5", png, [](PictureBytes& b) { b[25] = 5; }},
        {"png interlaced in an unknown way", png, [](PictureBytes& b) { b[28] = 2; }},
        {"png 2^31 wide", png, [](PictureBytes& b) { PutBe32(b, 16, 0x80000000); }},
        {"jpeg of no components", jpeg, [&](PictureBytes& b) { b[frame + 9] = 0; }},
        {"jpeg of 5 components", jpeg, [&](PictureBytes& b) { b[frame + 9] = 5; }},
        {"jpeg frame longer than its components", jpeg, [&](PictureBytes& b) { ++b[frame + 3]; }},
        {"jpeg of 9-bit precision", jpeg, [&](PictureBytes& b) { b[frame + 4] = 9; }},
        {"jpeg sampled 0 times", jpeg, [&](PictureBytes& b) { b[frame + 11] = 0x10; }},
        {"jpeg of a fifth table", jpeg, [&](PictureBytes& b) { b[frame + 12] = 4; }},
        {"gif frame of no width", gif, [&](PictureBytes& b) { b[gifFrame + 5] = b[gifFrame + 6] = 0; }},
        {"gif codes of 13 bits", gif, [&](PictureBytes& b) { b[gifFrame + 10] = 12; }},
        {"gif of no frame", gif, [&](PictureBytes& b) { b.resize(gifFrame), b.push_back(0x3B); }},
        {"tiff directory beyond the file", tiff, [](PictureBytes& b) { PutLe32(b, 4, 0x7FFFFFF0); }},
        {"tiff directory inside its header", tiff, [](PictureBytes& b) { PutLe32(b, 4, 4); }},
        {"tiff strips of 2^30 offsets", tiff,
         [](PictureBytes& b) { PutLe32(b, TiffEntry(b, 273) + 4, 1u << 30); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<PictureFormat> format = PictureFormatOf(c.sound);
        ASSERT_TRUE(format);
        ASSERT_TRUE(HeaderHoldsTogether(*format, c.sound, c.sound.size()));
        PictureBytes hostile = c.sound;
        c.mutate(hostile);
        EXPECT_FALSE(HeaderHoldsTogether(*format, hostile, hostile.size()));
        EXPECT_FALSE(PassesPictureChecks(hostile));
    }
}

// PNG and BMP files are streamed to their decoder after their first piece: the header is checked
// against the size of the whole file, not of the piece.
TEST(PictureHeaderTest, AStreamedHeaderIsCheckedAgainstTheWholeFile) {
    const PictureBytes bmp = test::SolidBmp(64, 64, kRed);
    const std::span<const uint8_t> head(bmp.data(), 100);
    EXPECT_TRUE(HeaderHoldsTogether(PictureFormat::kBmp, head, bmp.size()));
    EXPECT_FALSE(HeaderHoldsTogether(PictureFormat::kBmp, head, bmp.size() - 1));
    EXPECT_FALSE(HeaderHoldsTogether(PictureFormat::kBmp, bmp, bmp.size() - 1));  // more than the file
}

}  // namespace
}  // namespace vexa
