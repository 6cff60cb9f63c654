// A small streaming JSON writer for the --json output: two-space indentation, keys in the order
// they are written, strings escaped so that any input gives valid JSON.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vexa_cli {

// The quoted JSON string of UTF-8 text: quote, backslash and control characters escaped
// (\n, \t, ... or \u00XX), U+2028 and U+2029 escaped, malformed bytes replaced by \ufffd.
std::string JsonQuote(std::string_view text);

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // Inside an object: the name of the value that follows.
    void Key(std::string_view name);

    void String(std::string_view text);
    void Number(int64_t value);
    void Bool(bool value);
    void Null();

private:
    // Separator and indentation before a value or a key.
    void BeforeItem();
    void Open(char bracket);
    void Close(char bracket);

    struct Level {
        size_t items = 0;
    };
    std::ostream& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace vexa_cli
