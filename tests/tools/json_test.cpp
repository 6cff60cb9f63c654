#include "json.h"

#include <gtest/gtest.h>
#include <sstream>

namespace vexa_cli {
namespace {

TEST(JsonQuote, EscapesWhatJsonRequiresAndKeepsTheRest) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case kCases[] = {
        {"", R"("")"},
        {"plain text", R"("plain text")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\path", R"("C:\\path")"},
        {"a\nb\r\tc\b\f", R"("a\nb\r\tc\b\f")"},
        {std::string("nul\0here", 8), R"("nul\u0000here")"},
        {"\x01\x1f", R"("\u0001\u001f")"},
        {"\x1B[2J", R"("\u001b[2J")"},
        {"\x7F", "\"\x7F\""},                                                // DEL is allowed as it is
        {"안녕하세요 \xF0\x9F\x98\x80", "\"안녕하세요 \xF0\x9F\x98\x80\""},  // UTF-8 passes through
        {"\xE2\x80\xA8\xE2\x80\xA9", R"("\u2028\u2029")"},
        {"bad\xFF", R"("bad\ufffd")"},
        {"\xC0\xAF", R"("\ufffd\ufffd")"},            // overlong '/'
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},  // a surrogate
        {"\xEA\xB0", R"("\ufffd\ufffd")"},            // cut short
        {"/</script>", R"("/</script>")"},
    };
    for (const Case& c : kCases) EXPECT_EQ(JsonQuote(c.text), c.expected) << c.text;
}

TEST(JsonWriter, WritesAnIndentedDocument) {
    std::ostringstream out;
    JsonWriter json(out);
    json.BeginObject();
    json.Key("name");
    json.String("홍길동");
    json.Key("credit");
    json.Number(-12);
    json.Key("phones");
    json.BeginArray();
    json.String("02-000-0000");
    json.String("010-1234-5678");
    json.EndArray();
    json.Key("none");
    json.BeginArray();
    json.EndArray();
    json.Key("empty");
    json.BeginObject();
    json.EndObject();
    json.Key("rows");
    json.BeginArray();
    json.BeginObject();
    json.Key("ok");
    json.Bool(true);
    json.Key("time");
    json.Null();
    json.EndObject();
    json.EndArray();
    json.Key("big");
    json.Number(9007199254740993);
    json.EndObject();
    EXPECT_EQ(out.str(), R"({
  "name": "홍길동",
  "credit": -12,
  "phones": [
    "02-000-0000",
    "010-1234-5678"
  ],
  "none": [],
  "empty": {},
  "rows": [
    {
      "ok": true,
      "time": null
    }
  ],
  "big": 9007199254740993
}
)");
}

}  // namespace
}  // namespace vexa_cli
