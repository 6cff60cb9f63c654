// JSON text written piece by piece, with its commas placed by the writer. Strings are escaped so
// that the text is safe wherever it lands: quotes, backslashes and control characters as JSON
// requires, and '<', '>', '&', '\'' and the two line separators as \uXXXX, so that a JSON text
// inside a page or a script cannot end its element or its string. Bytes that are not UTF-8 come
// out as U+FFFD.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::sandbox {

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text);

class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    // The name of the next member of the object being written.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view value);
    JsonWriter& Int(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // Null when empty.
    JsonWriter& OptionalInt(const std::optional<int64_t>& value);

    // Members in one call each.
    JsonWriter& Member(std::string_view name, std::string_view value) { return Key(name).String(value); }
    JsonWriter& Member(std::string_view name, const char* value) { return Key(name).String(value); }
    JsonWriter& Member(std::string_view name, int64_t value) { return Key(name).Int(value); }
    JsonWriter& Member(std::string_view name, int value) { return Key(name).Int(value); }
    JsonWriter& Member(std::string_view name, bool value) { return Key(name).Bool(value); }

    const std::string& Text() const { return text_; }

private:
    // A comma before every value but the first of its container, and none after a key.
    void BeforeValue();
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);

    std::string text_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace vexa::sandbox
