// Pictures into image entries: which files are taken, what the JPEG holds, what is refused before
// it is decoded, and streams embedded byte for byte.
#include "imaging/image_entry.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>
#include <string>
#include <turbojpeg.h>
#include <unistd.h>

#include "automation/memory_stream.h"
#include "picture_fixtures.h"
#include "scratch_directory.h"

namespace vexa {
namespace {

using test::PictureBytes;
using test::Rgba;

constexpr std::string_view kPrefix = "data:image/jpeg;base64,";

// The bytes a data URI carries.
PictureBytes UriBytes(const std::string& uri) {
    EXPECT_EQ(uri.substr(0, kPrefix.size()), kPrefix);
    EXPECT_EQ(uri.substr(uri.size() - 2), "\r\n");
    std::string text;
    for (char c : uri.substr(kPrefix.size()))
        if (c != '\r' && c != '\n') text += c;
    PictureBytes bytes(text.size() / 4 * 3 + 3);
    const int n = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    bytes.resize(n < 0 ? 0 : n - std::count(text.end() - std::min<size_t>(2, text.size()), text.end(), '='));
    return bytes;
}

struct Jpeg {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    Rgba At(int x, int y) const {
        const uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
        return {p[0], p[1], p[2], 255};
    }
};

Jpeg DecodeJpeg(const PictureBytes& bytes) {
    Jpeg out;
    tjhandle handle = tjInitDecompress();
    int subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, bytes.data(), bytes.size(), &out.width, &out.height, &subsampling,
                            &colourspace) == 0) {
        out.rgb.resize(3 * static_cast<size_t>(out.width) * out.height);
        if (tjDecompress2(handle, bytes.data(), bytes.size(), out.rgb.data(), out.width, 0, out.height,
                          TJPF_RGB, 0) != 0)
            out = {};
    }
    tjDestroy(handle);
    return out;
}

void ExpectNear(Rgba got, Rgba want) {
    EXPECT_NEAR(got.r, want.r, 6);
    EXPECT_NEAR(got.g, want.g, 6);
    EXPECT_NEAR(got.b, want.b, 6);
}

class ImageEntryTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const PictureBytes& bytes) {
        return test::WriteFile(dir_.Path() / name, bytes).string();
    }
    test::ScratchDirectory dir_;
};

struct Accepted {
    const char* name;
    std::function<PictureBytes()> make;
    int width, height;
    Rgba colour;  // of the top-left pixel, after flattening
};

TEST_F(ImageEntryTest, EveryFormatWeTakeBecomesAJpegOfTheSameSize) {
    const Rgba red{200, 30, 40, 255}, blue{20, 40, 220, 255};
    const Accepted cases[] = {
        {"1x1.png", [&] { return test::SolidPicture("png", 1, 1, red); }, 1, 1, red},
        {"transparent.png",
         [] {
             return test::SolidPicture("png", 9, 7, {0, 0, 0, 0});
         },
         9,
         7,
         {255, 255, 255}},
        {"half.png",
         [] {
             return test::SolidPicture("png", 8, 8, {0, 0, 0, 128});
         },
         8,
         8,
         {127, 127, 127}},
        {"photo.jpg", [&] { return test::SolidPicture("jpeg", 33, 17, blue); }, 33, 17, blue},
        {"grey.jpg",
         [] { return test::EncodedJpeg(16, 16, TJPF_GRAY, TJSAMP_GRAY, 90); },
         16,
         16,
         {90, 90, 90}},
        {"cmyk.jpg",
         [] { return test::EncodedJpeg(16, 8, TJPF_CMYK, TJSAMP_444, 255); },
         16,
         8,
         {255, 255, 255}},
        // Animated: only the first frame counts.
        {"palette.gif",
         [&] {
             return test::PaletteGif(5, 3, red, blue, {0, 1});
         },
         5, 3, red},
        {"picture.bmp", [&] { return test::SolidPicture("bmp", 10, 4, blue); }, 10, 4, blue},
        {"icon.ico", [&] { return test::SolidPicture("ico", 16, 16, red); }, 16, 16, red},
        {"scan.tiff", [&] { return test::SolidPicture("tiff", 12, 6, blue); }, 12, 6, blue},
        {"interlaced.png",
         [&] {
             return test::PngPicture(
                 9, 5, false, [&](uint32_t, uint32_t) { return red; }, true);
         },
         9, 5, red},
        {"사진 한 장.png", [&] { return test::SolidPicture("png", 2, 2, blue); }, 2, 2, blue},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<ImageEntry> entry = MakeEntryFromFile(Write(c.name, c.make()));
        ASSERT_TRUE(entry);
        const PictureBytes jpeg = UriBytes(entry->dataUri);
        ASSERT_GE(jpeg.size(), 4u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        EXPECT_EQ(jpeg[2], 0xFF);
        EXPECT_EQ(entry->dataUri.substr(kPrefix.size(), 4), "/9j/");  // FF D8 FF
        EXPECT_EQ(entry->bytes, static_cast<LONG>(jpeg.size()));
        const Jpeg decoded = DecodeJpeg(jpeg);
        EXPECT_EQ(decoded.width, c.width);
        EXPECT_EQ(decoded.height, c.height);
        if (!decoded.rgb.empty()) ExpectNear(decoded.At(0, 0), c.colour);
    }
}

PictureBytes Noise(size_t n, unsigned seed) {
    PictureBytes bytes(n);
    std::mt19937 random(seed);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// The first part of a picture whose pixels do not compress away.
PictureBytes CutShort(const char* format) {
    PictureBytes bytes = test::SavedPicture(format, 64, 48, false, [](int x, int y) {
        return Rgba{uint8_t(x * 37 ^ y * 11), uint8_t(y * 5), uint8_t(x + y), 255};
    });
    bytes.resize(bytes.size() * 9 / 10);
    return bytes;
}

// Pictures whose decoders have every row before the data ends.
PictureBytes CutInterlacedPng() {
    PictureBytes png = test::PngPicture(
        64, 48, false,
        [](uint32_t x, uint32_t y) {
            return Rgba{uint8_t(x * 37 ^ y * 11), uint8_t(y * 5), 0, 255};
        },
        true);
    png.resize(png.size() * 8 / 10);
    return png;
}

// Cut where its last scan would start: libjpeg has a whole, if coarse, picture by then.
PictureBytes CutProgressiveJpeg() {
    std::vector<uint8_t> pixels(64 * 48 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 ^ i / 97);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(handle, pixels.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90,
                                   TJFLAG_PROGRESSIVE);
    tjDestroy(handle);
    PictureBytes bytes(jpeg, jpeg + (failed ? 0 : size));
    tjFree(jpeg);
    const uint8_t scan[] = {0xFF, 0xDA};
    bytes.erase(std::find_end(bytes.begin(), bytes.end(), std::begin(scan), std::end(scan)), bytes.end());
    return bytes;
}

// A JPEG whose frame header declares width × height.
PictureBytes JpegDeclaring(uint16_t width, uint16_t height) {
    return test::JpegDeclaring(test::SolidPicture("jpeg", 8, 8, {1, 2, 3, 255}), width, height);
}

TEST_F(ImageEntryTest, DamagedForeignAndHostileFilesAreRefused) {
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'><rect width='4' height='4'/></svg>";
    PictureBytes gif = test::PaletteGif(40, 40, {0, 0, 0, 255}, {9, 9, 9, 255}, {0});
    PictureBytes hugeGif = gif;
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = 0xFF;  // 65535 × 65535 declared
    gif.resize(gif.size() / 2);

    const struct {
        const char* name;
        PictureBytes bytes;
    } cases[] = {
        {"cut.png", CutShort("png")},
        {"cut.jpg", CutShort("jpeg")},
        {"cut.bmp", CutShort("bmp")},
        {"cut.ico", CutShort("ico")},
        {"cut.tiff", CutShort("tiff")},
        {"cut.gif", gif},
        {"cut-interlaced.png", CutInterlacedPng()},
        {"cut-progressive.jpg", CutProgressiveJpeg()},
        {"noise.jpg", Noise(4096, 7)},
        {"empty.png", {}},
        {"drawing.svg", PictureBytes(svg.begin(), svg.end())},
        {"huge.png", test::PngHeader(60000, 60000)},
        {"wide.png", test::PngHeader(100'000'001, 1)},
        {"huge.jpg", JpegDeclaring(60000, 60000)},
        {"huge.gif", hugeGif},
        {"huge.bmp", test::BmpHeader(50000, 50000)},
    };
    for (const auto& c : cases) EXPECT_FALSE(MakeEntryFromFile(Write(c.name, c.bytes))) << c.name;
    EXPECT_FALSE(MakeEntryFromFile((dir_.Path() / "missing.png").string()));
    EXPECT_FALSE(MakeEntryFromFile(dir_.Path().string()));  // a directory
    EXPECT_FALSE(MakeEntryFromFile(""));
}

TEST_F(ImageEntryTest, AFileAboveSixtyFourMebibytesIsRefusedUnread) {
    // Sparse: a valid picture start, then holes up to the limit and one byte beyond.
    const std::string path = Write("big.png", test::SolidPicture("png", 1, 1, {1, 2, 3, 255}));
    ASSERT_EQ(truncate(path.c_str(), (64 << 20) + 1), 0);
    EXPECT_FALSE(MakeEntryFromFile(path));
}

ComPtr<IStream> StreamOf(const PictureBytes& bytes) {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, 1, stream.Out()), S_OK);
    ULONG written = 0;
    if (!bytes.empty()) {
        EXPECT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
    }
    return stream;
}

TEST(ImageEntryStreamTest, APictureStreamIsEmbeddedByteForByteFromItsStart) {
    const PictureBytes jpeg = test::SolidPicture("jpeg", 40, 30, {10, 200, 10, 255});
    const PictureBytes png = test::SolidPicture("png", 3, 3, {10, 200, 10, 255});
    for (const PictureBytes* bytes : {&jpeg, &png}) {
        // The stream's position is at its end after writing: the whole content still counts.
        const ComPtr<IStream> stream = StreamOf(*bytes);
        const std::optional<ImageEntry> entry = MakeEntryFromStream(stream.Get());
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->bytes, static_cast<LONG>(bytes->size()));
        EXPECT_EQ(UriBytes(entry->dataUri), *bytes);
    }
}

TEST(ImageEntryStreamTest, AStreamThatIsNoPictureGivesNoEntry) {
    EXPECT_FALSE(MakeEntryFromStream(StreamOf(Noise(1000, 11)).Get()));
    EXPECT_FALSE(MakeEntryFromStream(StreamOf(CutShort("jpeg")).Get()));
    EXPECT_FALSE(MakeEntryFromStream(StreamOf(CutInterlacedPng()).Get()));
    EXPECT_FALSE(MakeEntryFromStream(StreamOf(CutProgressiveJpeg()).Get()));
    EXPECT_FALSE(MakeEntryFromStream(StreamOf({}).Get()));
    EXPECT_FALSE(MakeEntryFromStream(StreamOf(test::PngHeader(60000, 60000)).Get()));
    EXPECT_FALSE(MakeEntryFromStream(nullptr));
}

}  // namespace
}  // namespace vexa
