// What pictures declare of themselves, read from their structure: sizes (largest of several
// images), whether the bytes reach the picture's end, and the checks made before decoding.
#include "imaging/picture_header.h"

#include <gtest/gtest.h>
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
    bmp[28] = 8;  // bits per pixel
    bmp[30] = 1;  // RLE8
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

}  // namespace
}  // namespace vexa
