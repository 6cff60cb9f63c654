// Why a picture file is refused, told from the file: the component says only "not added".
#include "picture_check.h"

#include <gtest/gtest.h>

#include "picture_fixtures.h"
#include "scratch_directory.h"

namespace vexa_cli {
namespace {

using vexa::test::PictureBytes;

TEST(PictureCheck, HeadersDeclareTheirSize) {
    const PictureBytes jpeg = vexa::test::EncodedJpeg(40, 30, TJPF_RGB, TJSAMP_444, 128);
    const struct {
        PictureBytes bytes;
        uint64_t width, height;
    } kCases[] = {
        {vexa::test::PngHeader(70000, 20000), 70000, 20000},
        {vexa::test::BmpHeader(30000, -4000), 30000, 4000},                           // top-down rows
        {{'G', 'I', 'F', '8', '9', 'a', 0x2C, 0x01, 0xC8, 0x00, 0, 0, 0}, 300, 200},  // the logical screen
        {jpeg, 40, 30},
    };
    for (const auto& c : kCases) {
        const std::optional<PictureSize> size = DeclaredPictureSize(c.bytes);
        ASSERT_TRUE(size) << c.width;
        EXPECT_EQ(size->width, c.width);
        EXPECT_EQ(size->height, c.height);
    }
    EXPECT_FALSE(DeclaredPictureSize(std::span(jpeg).first(4)));  // cut before its frame
}

TEST(PictureCheck, EachRefusalHasItsReason) {
    const vexa::test::ScratchDirectory scratch;
    const auto write = [&](const char* name, const PictureBytes& bytes) {
        return vexa::test::WriteFile(scratch.Path() / name, bytes);
    };
    const PictureBytes png = vexa::test::SolidPicture("png", 8, 8, {1, 2, 3, 255});
    const struct {
        std::filesystem::path file;
        const char* reason;
    } kCases[] = {
        {scratch.Path() / "missing.png", "there is no such file"},
        {scratch.Path(), "it is a folder, not a file"},
        {write("empty.png", {}), "the file is empty"},
        {write("notes.txt", PictureBytes(64, 'x')), "it is not a picture in a format taken here"},
        {write("huge.png", vexa::test::PngHeader(20000, 20000)),
         "it is 20000 x 20000 pixels, over the 100 megapixels"},
        {write("cut.png", PictureBytes(png.begin(), png.begin() + static_cast<long>(png.size() / 2))),
         "it is damaged or cut short"},
    };
    for (const auto& c : kCases)
        EXPECT_NE(WhyPictureRefused(c.file).find(c.reason), std::string::npos)
            << c.file << ": " << WhyPictureRefused(c.file);
}

}  // namespace
}  // namespace vexa_cli
