#include "json.h"

#include <cstdio>

#include "utf8.h"

namespace vexa_cli {

std::string JsonQuote(std::string_view text) {
    std::string out = "\"";
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t c = NextCodePoint(text, pos);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
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
            case kInvalidCodePoint:
                out += "\\ufffd";
                break;
            default:
                // Line and paragraph separators are valid JSON but end a line in JavaScript.
                if (c < 0x20 || c == 0x2028 || c == 0x2029) {
                    char escape[16];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out.append(text.substr(start, pos - start));
                }
        }
    }
    return out += '"';
}

void JsonWriter::BeforeItem() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    if (levels_.back().items++) out_ << ',';
    out_ << '\n' << std::string(levels_.size() * 2, ' ');
}

void JsonWriter::Open(char bracket) {
    BeforeItem();
    out_ << bracket;
    levels_.push_back({});
}

void JsonWriter::Close(char bracket) {
    const bool empty = levels_.back().items == 0;
    levels_.pop_back();
    if (!empty) out_ << '\n' << std::string(levels_.size() * 2, ' ');
    out_ << bracket;
    if (levels_.empty()) out_ << '\n';
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view name) {
    BeforeItem();
    out_ << JsonQuote(name) << ": ";
    afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
    BeforeItem();
    out_ << JsonQuote(text);
}

void JsonWriter::Number(int64_t value) {
    BeforeItem();
    out_ << value;
}

void JsonWriter::Bool(bool value) {
    BeforeItem();
    out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
    BeforeItem();
    out_ << "null";
}

}  // namespace vexa_cli
