#include "sandbox/json_writer.h"

#include <cstdio>

#include "automation/unicode.h"

namespace vexa::sandbox {

namespace {

void AppendEscape(std::string& out, unsigned code) {
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const char32_t code = ReadUtf8(text, i);
        // What is not UTF-8 reads as "?"; a "?" of the text is itself.
        if (code == u'?' && text[start] != '?') {
            out += "\\ufffd";
            continue;
        }
        switch (code) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '<':
            case '>':
            case '&':
            case '\'':
            case 0x2028:
            case 0x2029:
                AppendEscape(out, static_cast<unsigned>(code));
                break;
            default:
                if (code < 0x20 || code == 0x7F) {
                    AppendEscape(out, static_cast<unsigned>(code));
                } else {
                    out.append(text.substr(start, i - start));
                }
        }
    }
    out += '"';
    return out;
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) text_ += ',';
        first_.back() = false;
    }
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    text_ += bracket;
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    text_ += bracket;
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    text_ += JsonString(name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
    BeforeValue();
    text_ += JsonString(value);
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
    return *this;
}

JsonWriter& JsonWriter::OptionalInt(const std::optional<int64_t>& value) {
    return value ? Int(*value) : Null();
}

}  // namespace vexa::sandbox
