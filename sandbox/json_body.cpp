#include "sandbox/json_body.h"

#include <string>

namespace vexa::sandbox {

namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (!text_.empty() &&
               (text_[0] == ' ' || text_[0] == '\t' || text_[0] == '\n' || text_[0] == '\r')) {
            text_.remove_prefix(1);
        }
    }
    // Takes `token` after blanks; false, taking nothing, when it is not next.
    bool Take(std::string_view token) {
        SkipBlanks();
        if (!text_.starts_with(token)) return false;
        text_.remove_prefix(token.size());
        return true;
    }
    std::optional<int64_t> TakeCount() {
        SkipBlanks();
        size_t digits = 0;
        while (digits < text_.size() && text_[digits] >= '0' && text_[digits] <= '9') ++digits;
        if (digits == 0 || digits > 15 || (digits > 1 && text_[0] == '0')) return std::nullopt;
        int64_t value = 0;
        for (size_t i = 0; i < digits; ++i) value = value * 10 + (text_[i] - '0');
        text_.remove_prefix(digits);
        return value;
    }
    bool AtEnd() {
        SkipBlanks();
        return text_.empty();
    }

private:
    std::string_view text_;
};

}  // namespace

std::optional<int64_t> ReadCountMember(std::string_view body, std::string_view name) {
    // The name has no quote or backslash of its own, so it is matched as written.
    if (name.find_first_of("\"\\") != std::string_view::npos) return std::nullopt;
    std::string quoted = "\"";
    quoted.append(name).append("\"");
    Cursor cursor(body);
    if (!cursor.Take("{") || !cursor.Take(quoted) || !cursor.Take(":")) return std::nullopt;
    const std::optional<int64_t> value = cursor.TakeCount();
    if (!value || !cursor.Take("}") || !cursor.AtEnd()) return std::nullopt;
    return value;
}

}  // namespace vexa::sandbox
