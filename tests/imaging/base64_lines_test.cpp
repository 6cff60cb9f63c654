// The line layout of picture text: 64 characters a line, every line ended by CR LF.
#include "imaging/base64_lines.h"

#include <gtest/gtest.h>
#include <numeric>
#include <openssl/evp.h>
#include <string>
#include <vector>

namespace vexa {
namespace {

TEST(Base64LinesTest, FortyNineBytesMakeOneFullLineAndFourCharacters) {
    const std::vector<uint8_t> bytes(49, 0xFF);
    std::string text = "prefix:";
    Base64LinesAppend(bytes, text);
    EXPECT_EQ(text, "prefix:" + std::string(64, '/') + "\r\n" + "/w==\r\n");
}

TEST(Base64LinesTest, LinesJoinToTheUnbrokenEncodingForEveryLength) {
    for (size_t n : {0, 1, 2, 3, 47, 48, 49, 96, 97, 1000}) {
        std::vector<uint8_t> bytes(n);
        std::iota(bytes.begin(), bytes.end(), uint8_t{7});
        std::string text;
        Base64LinesAppend(bytes, text);
        EXPECT_EQ(text.size(), Base64LinesLength(n)) << n;

        std::string whole(4 * ((n + 2) / 3) + 1, '\0');
        whole.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(whole.data()), bytes.data(), int(n)));
        std::string joined;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n", at);
            ASSERT_NE(end, std::string::npos) << "unterminated line, n = " << n;
            const size_t length = end - at;
            // Every line but the last is full.
            EXPECT_TRUE(length == 64 || end + 2 == text.size()) << n;
            EXPECT_GT(length, 0u) << n;
            joined += text.substr(at, length);
            at = end + 2;
        }
        EXPECT_EQ(joined, whole) << n;
    }
}

}  // namespace
}  // namespace vexa
