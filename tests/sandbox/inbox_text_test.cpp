// The inbox's small readers and writers: JSON out, the one JSON body in, HTML text, queries,
// JPEG sizes, and the pieces of its access rule.
#include <gtest/gtest.h>
#include <string>

#include "sandbox/html_text.h"
#include "sandbox/inbox_access.h"
#include "sandbox/jpeg_size.h"
#include "sandbox/json_body.h"
#include "sandbox/json_writer.h"
#include "sandbox/query_string.h"

namespace vexa::sandbox {
namespace {

using namespace std::string_literals;

TEST(InboxTextTest, JsonStringsAreSafeInAnyContext) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"plain 한글", "\"plain 한글\""},
        {"say \"hi\" \\ back", R"("say \"hi\" \\ back")"},
        {"line\nbreak\ttab\rreturn", R"("line\nbreak\ttab\rreturn")"},
        {"\x01\x1f\x7f"s + "\0"s, R"("\u0001\u001f\u007f\u0000")"},
        {"</script><b>&'", R"("\u003c/script\u003e\u003cb\u003e\u0026\u0027")"},
        {"a\u2028b\u2029c", R"("a\u2028b\u2029c")"},
        // Not UTF-8: a lone continuation byte, a cut sequence, an overlong '/', a surrogate.
        {"x\x80y", R"("x\ufffdy")"},
        {"\xED\x95", R"("\ufffd")"},
        {"?\xE2\x82?", R"("?\ufffd?")"},
        {"\xC0\xAF", R"("\ufffd\ufffd")"},
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.json;
}

TEST(InboxTextTest, TheJsonWriterPlacesCommasInNestedContainers) {
    JsonWriter json;
    json.BeginObject()
        .Member("a", 1)
        .Key("list")
        .BeginArray()
        .Int(-2)
        .BeginObject()
        .EndObject()
        .Null()
        .BeginArray()
        .EndArray()
        .EndArray()
        .Member("ok", true)
        .Member("text", "t")
        .Key("none")
        .OptionalInt(std::nullopt)
        .EndObject();
    EXPECT_EQ(json.Text(), R"({"a":1,"list":[-2,{},null,[]],"ok":true,"text":"t","none":null})");
}

TEST(InboxTextTest, TheCountBodyIsReadStrictly) {
    const struct {
        const char* body;
        std::optional<int64_t> value;
    } cases[] = {
        {R"({"credit":1000})", 1000},
        {" {\n \"credit\" :\t0 }\r\n", 0},
        {R"({"credit": 999999999999999})", 999'999'999'999'999},
        {R"({"credit": 1000000000000000})", std::nullopt},
        {R"({"credit": -1})", std::nullopt},
        {R"({"credit": +1})", std::nullopt},
        {R"({"credit": 01})", std::nullopt},
        {R"({"credit": 1.5})", std::nullopt},
        {R"({"credit": 1e3})", std::nullopt},
        {R"({"credit": "10"})", std::nullopt},
        {R"({"credit": 1, "credit": 2})", std::nullopt},
        {R"({"credit": 1,})", std::nullopt},
        {R"({"Credit": 1})", std::nullopt},
        {R"({" credit": 1})", std::nullopt},
        {R"({"cred\u0069t": 1})", std::nullopt},
        {R"({"credit": 1} x)", std::nullopt},
        {R"([{"credit": 1}])", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadCountMember(c.body, "credit"), c.value) << c.body;
}

TEST(InboxTextTest, HtmlTextIsEscapedAndCutOnCharacters) {
    EXPECT_EQ(HtmlEscape("<script>alert(1)</script> \"'&"),
              "&lt;script&gt;alert(1)&lt;/script&gt; &quot;&#39;&amp;");
    EXPECT_EQ(Excerpt("short", 10), "short");
    EXPECT_EQ(Excerpt("exactly", 7), "exactly");
    EXPECT_EQ(Excerpt("안녕하세요 여러분", 5), "안녕하세요…");  // three bytes a character
}

TEST(InboxTextTest, QueriesDecodeAsFormsWriteThem) {
    const std::optional<QueryValues> values =
        ParseQuery("/inbox/kim/?q=kim+lee%2B1&type=mms&q=second&empty=&bare");
    ASSERT_TRUE(values);
    EXPECT_EQ(*values, (QueryValues{{"q", "kim lee+1"}, {"type", "mms"}, {"empty", ""}, {"bare", ""}}));
    EXPECT_EQ(ParseQuery("/inbox/")->size(), 0u);
    EXPECT_FALSE(ParseQuery("/inbox/?q=%zz"));
    EXPECT_EQ(QueryEscape("a b&c=d/é~"), "a%20b%26c%3Dd%2F%C3%A9~");
}

TEST(InboxTextTest, JpegSizesComeFromTheFrameHeader) {
    // SOI, an APP0 segment, then a baseline frame header of 40 x 30 pixels.
    const std::string jpeg =
        "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
        "\xFF\xC0\x00\x11\x08\x00\x1E\x00\x28\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9"s;
    const std::optional<PixelSize> size = JpegPixelSize(jpeg);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 40);
    EXPECT_EQ(size->height, 30);
    // A progressive frame (SOF2) after a table (DHT, which shares the range) and fill bytes.
    const std::string progressive =
        "\xFF\xD8\xFF\xC4\x00\x03\x00\xFF\xFF\xC2\x00\x0B\x08\x02\x00\x01\x00\x01\x01\x11\x00"s;
    ASSERT_TRUE(JpegPixelSize(progressive));
    EXPECT_EQ(JpegPixelSize(progressive)->width, 256);
    EXPECT_EQ(JpegPixelSize(progressive)->height, 512);
    for (const std::string& broken : {""s, "\xFF\xD8"s, "GIF89a"s, jpeg.substr(0, 26),
                                      "\xFF\xD8\xFF\xDA\x00\x02"s, "\xFF\xD8\xFF\xE0\xFF\xFF"s}) {
        EXPECT_FALSE(JpegPixelSize(broken)) << broken.size();
    }
}

TEST(InboxTextTest, LoopbackHostsAreToldFromOthers) {
    const struct {
        const char* host;
        bool loopback;
    } cases[] = {
        {"127.0.0.1", true},
        {"127.0.0.1:8080", true},
        {"127.9.8.7:1", true},
        {"localhost", true},
        {"LocalHost:80", true},
        {"[::1]", true},
        {"[::1]:8443", true},
        {"", false},
        {"128.0.0.1", false},
        {"evil.example", false},
        {"localhost.evil", false},
        {"127.0.0.1.evil", false},
        {"2130706433", false},
        {"127.1", false},
        {"[::2]:80", false},
        {"[::1]x", false},
        {"127.0.0.1:80x", false},
        {"[127.0.0.1]", false},
        {"::1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLoopbackHost(c.host), c.loopback) << c.host;
    for (const char* address : {"127.0.0.1", "127.255.0.3", "::1"}) EXPECT_TRUE(IsLoopbackAddress(address));
    for (const char* address : {"0.0.0.0", "::", "192.168.1.2", "localhost", ""}) {
        EXPECT_FALSE(IsLoopbackAddress(address)) << address;
    }
}

TEST(InboxTextTest, TokensAreShownByHeaderOrCookieAndComparedWhole) {
    EXPECT_EQ(TokenProblem("abcdefghij-_.~0123"), "");
    EXPECT_NE(TokenProblem("fifteen-chars15"), "");
    EXPECT_NE(TokenProblem("sixteen chars 16"), "");
    EXPECT_NE(TokenProblem("sixteen;chars=16"), "");

    EXPECT_EQ(ShownToken("Bearer abc", ""), "abc");
    EXPECT_EQ(ShownToken("bearer  abc ", "vexa_inbox=other"), "abc");
    EXPECT_EQ(ShownToken("Basic a2ltOnNlY3JldA==", "a=1; vexa_inbox=abc; b=2"), "abc");
    EXPECT_EQ(ShownToken("", "vexa_inboxx=abc; xvexa_inbox=def"), std::nullopt);
    EXPECT_EQ(ShownToken("", ""), std::nullopt);

    EXPECT_TRUE(SameToken("0123456789abcdef", "0123456789abcdef"));
    EXPECT_FALSE(SameToken("0123456789abcdeF", "0123456789abcdef"));
    EXPECT_FALSE(SameToken("0123456789abcde", "0123456789abcdef"));
    EXPECT_FALSE(SameToken("", "0123456789abcdef"));
}

}  // namespace
}  // namespace vexa::sandbox
