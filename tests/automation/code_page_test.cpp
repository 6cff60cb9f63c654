// The local code page against glibc's iconv "CP949" over the whole code space, both ways: every
// byte, every two-byte sequence that starts with a byte of 0x80 or more, every UTF-16 code unit
// and some supplementary characters, each on its own. The UTF-8 ends must say what the UTF-16
// ends say.
#include "automation/code_page.h"

#include <bit>
#include <gtest/gtest.h>
#include <iconv.h>
#include <optional>
#include <string>

#include "automation/text.h"
#include "platform/c_handle.h"

namespace vexa {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

int CloseIconv(iconv_t cd) { return iconv_close(cd); }

class Iconv {
public:
    Iconv(const char* to, const char* from) {
        const iconv_t cd = iconv_open(to, from);
        if (cd != reinterpret_cast<iconv_t>(-1)) cd_.reset(cd);
    }

    bool Valid() const { return cd_ != nullptr; }

    // All of in converted, or nothing when iconv refuses any of it.
    std::optional<std::string> Convert(std::string_view in) const {
        iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
        std::string out(16, '\0');
        char* inAt = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outAt = out.data();
        size_t outLeft = out.size();
        if (iconv(cd_.get(), &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    CHandle<void, CloseIconv> cd_;
};

std::u16string FromBytes(const std::string& bytes) {
    std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(char16_t));
    return text;
}

std::string AsBytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

class CodePageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(decoder_.Valid() && encoder_.Valid()) << "iconv has no CP949"; }

    // What iconv reads local bytes as, when it reads all of them.
    std::optional<std::u16string> IconvDecode(const std::string& local) const {
        const auto bytes = decoder_.Convert(local);
        return bytes ? std::optional(FromBytes(*bytes)) : std::nullopt;
    }

    std::optional<std::string> IconvEncode(std::u16string_view text) const {
        return encoder_.Convert(AsBytes(text));
    }

    static std::u16string OursDecode(const std::string& local) {
        std::u16string text;
        EXPECT_TRUE(DecodeLocal(local, text));
        std::string utf8;
        EXPECT_TRUE(DecodeLocalToUtf8(local, utf8));
        EXPECT_EQ(utf8, ToUtf8(text)) << "the UTF-8 end differs for " << ::testing::PrintToString(local);
        return text;
    }

    static std::string OursEncode(std::u16string_view text) {
        std::string local;
        EXPECT_TRUE(EncodeLocal(text, local));
        std::string fromUtf8;
        EXPECT_TRUE(EncodeLocalFromUtf8(ToUtf8(text), fromUtf8));
        EXPECT_EQ(fromUtf8, local) << "the UTF-8 end differs for " << ::testing::PrintToString(text);
        return local;
    }

private:
    Iconv decoder_{kUtf16, "CP949"};
    Iconv encoder_{"CP949", kUtf16};
};

TEST_F(CodePageTest, EveryByteReadsAsIconvReadsIt) {
    for (int b = 0; b < 0x100; ++b) {
        const std::string local(1, static_cast<char>(b));
        EXPECT_EQ(OursDecode(local), IconvDecode(local).value_or(u"?")) << "byte " << b;
    }
}

TEST_F(CodePageTest, EveryTwoByteSequenceReadsAsIconvReadsIt) {
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int trail = 0; trail < 0x100; ++trail) {
            const std::string local{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string ours = OursDecode(local);
            if (const auto theirs = IconvDecode(local)) {
                EXPECT_EQ(ours, *theirs) << std::hex << "sequence " << lead << " " << trail;
                continue;
            }
            // No character: one "?" for what Cp949Unit takes, and a trail it leaves is read on its own.
            const std::u16string expected = Cp949Unit(local) == 2 ? u"?" : u"?" + OursDecode(local.substr(1));
            EXPECT_EQ(ours, expected) << std::hex << "sequence " << lead << " " << trail;
        }
    }
}

TEST_F(CodePageTest, EveryCharacterIsWrittenAsIconvWritesIt) {
    for (unsigned c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::u16string text(1, static_cast<char16_t>(c));
        EXPECT_EQ(OursEncode(text), IconvEncode(text).value_or("?")) << std::hex << "U+" << c;
    }
    // The code page holds nothing beyond the BMP; a surrogate pair is one character.
    for (const std::u16string text : {u"\U00010000", u"\U0001F600", u"\U00020000", u"\U0010FFFF"}) {
        EXPECT_FALSE(IconvEncode(text));
        EXPECT_EQ(OursEncode(text), "?");
    }
}

TEST_F(CodePageTest, SequenceIconvReadsPastButRefusesIsOneQuestionMark) {
    // glibc steps over 0xA2 0xE8 before it refuses it; what follows is still read.
    ASSERT_FALSE(IconvDecode("\xA2\xE8"));
    EXPECT_EQ(OursDecode("\xA2\xE8"
                         "AB"),
              u"?AB");
}

}  // namespace
}  // namespace vexa
