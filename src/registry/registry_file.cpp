#include "registry/registry_file.h"

#include <algorithm>
#include <iterator>

namespace vexa {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// With \r among the blanks, trimming a line also takes the CR of a CRLF line end.
constexpr std::string_view kBlanks = " \t\r";

// A character in a quoted string and what follows the backslash that stands for it. Line breaks
// are escaped as well as \ and ": a raw one would split the string over two lines, and the file
// would no longer parse.
struct Escape {
    char raw;
    char code;
};
constexpr Escape kEscapes[] = {{'\\', '\\'}, {'"', '"'}, {'\n', 'n'}, {'\r', 'r'}};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The registry's names ignore case, but only ASCII case: other bytes (UTF-8) compare as they are.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsBelow(std::string_view path, std::string_view root) {
    return path.size() > root.size() && path[root.size()] == '\\' &&
           SameName(path.substr(0, root.size()), root);
}

// Keys or const Keys: Find and Ensure look up the same way.
template <typename Keys>
auto FindKey(Keys& keys, std::string_view path) {
    return std::find_if(keys.begin(), keys.end(),
                        [&](const RegistryKey& key) { return SameName(key.path, path); });
}

template <typename Values>
auto FindValue(Values& values, std::string_view name) {
    return std::find_if(values.begin(), values.end(),
                        [&](const auto& value) { return SameName(value.first, name); });
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                         [&](const Escape& e) { return e.raw == c; });
        if (escape != std::end(kEscapes)) {
            out += '\\';
            out += escape->code;
        } else {
            out += c;
        }
    }
    out += '"';
}

// Reads a line's text, one quoted string after another; each failure says why.
class LineReader {
public:
    explicit LineReader(std::string_view line) : rest_(line) {}

    bool AtEnd() const { return rest_.empty(); }
    char Peek() const { return rest_.empty() ? '\0' : rest_.front(); }
    void Skip(size_t count) { rest_.remove_prefix(count); }
    void SkipBlanks() { rest_ = rest_.substr(std::min(rest_.find_first_not_of(kBlanks), rest_.size())); }
    std::string_view Rest() const { return rest_; }

    // At the opening quote: the string's value, or nullopt with the reason in error.
    std::optional<std::string> Quoted(std::string& error) {
        std::string value;
        for (size_t i = 1; i < rest_.size(); ++i) {
            const char c = rest_[i];
            if (c == '"') {
                rest_.remove_prefix(i + 1);
                return value;
            }
            if (c != '\\') {
                value += c;
                continue;
            }
            if (++i == rest_.size()) break;
            const auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [&](const Escape& e) { return e.code == rest_[i]; });
            if (escape == std::end(kEscapes)) {
                error = std::string("bad escape \"\\") + rest_[i] + "\" in a string";
                return std::nullopt;
            }
            value += escape->raw;
        }
        error = "unterminated string";
        return std::nullopt;
    }

private:
    std::string_view rest_;
};

// The reason a value's data is not a quoted string: the types we never write get named, so that a
// hand-edited file says what it holds that we will not take.
std::string WhyNotAString(std::string_view data) {
    if (data.empty()) return "missing value after \"=\"";
    if (data.front() == '-') return "deleting a value (\"=-\") is not supported";
    const size_t colon = data.find(':');
    if (colon != std::string_view::npos && colon > 0) {
        const std::string_view type = data.substr(0, colon);
        const bool word = std::all_of(type.begin(), type.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '(' ||
                   c == ')';
        });
        if (word) return "values of type \"" + std::string(type) + "\" are not supported, only strings";
    }
    return "expected a quoted string after \"=\"";
}

class Parser {
public:
    std::optional<RegistryFile> Run(std::string_view text, std::string* error) {
        if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
        size_t number = 1;
        for (size_t start = 0; start <= text.size(); ++number) {
            const size_t end = std::min(text.find('\n', start), text.size());
            std::string why;
            if (!Line(Trim(text.substr(start, end - start)), why)) {
                if (error) *error = "line " + std::to_string(number) + ": " + why;
                return std::nullopt;
            }
            start = end + 1;
        }
        return std::move(file_);
    }

private:
    bool Line(std::string_view line, std::string& why) {
        if (line.empty() || line.front() == ';') return true;
        const bool first = !seenContent_;
        seenContent_ = true;
        if (line == kHeader) {
            if (first) return true;
            why = "the header may only come first";
            return false;
        }
        if (line.front() == '[') return Key(line, why);
        if (line.front() == '@' || line.front() == '"') return Value(line, why);
        why = "not a key, a string value, a comment or a blank line";
        return false;
    }

    bool Key(std::string_view line, std::string& why) {
        // Paths may hold "]", so the key's name runs to the line's last one.
        if (line.back() != ']') {
            why = "a key line must end with \"]\"";
            return false;
        }
        const std::string_view path = line.substr(1, line.size() - 2);
        if (path.empty()) {
            why = "empty key path";
            return false;
        }
        if (path.front() == '-') {
            why = "deleting a key (\"[-...]\") is not supported";
            return false;
        }
        current_ = &file_.Ensure(path);
        return true;
    }

    bool Value(std::string_view line, std::string& why) {
        if (!current_) {
            why = "a value before any key";
            return false;
        }
        LineReader reader(line);
        std::string name;
        if (reader.Peek() == '@') {
            reader.Skip(1);
        } else {
            std::optional<std::string> quoted = reader.Quoted(why);
            if (!quoted) return false;
            name = std::move(*quoted);
        }
        reader.SkipBlanks();
        if (reader.Peek() != '=') {
            why = "expected \"=\" after the value's name";
            return false;
        }
        reader.Skip(1);
        reader.SkipBlanks();
        if (reader.Peek() != '"') {
            why = WhyNotAString(reader.Rest());
            return false;
        }
        std::optional<std::string> data = reader.Quoted(why);
        if (!data) return false;
        reader.SkipBlanks();
        if (!reader.AtEnd()) {
            why = "unexpected text after the value";
            return false;
        }
        // Whichever setting were kept, the other would be lost: refused, like anything else we cannot hold.
        if (Has(*current_, name)) {
            why = (name.empty() ? std::string("the default value") : "value \"" + name + "\"") +
                  " is given twice";
            return false;
        }
        if (name.empty())
            current_->defaultValue = std::move(*data);
        else
            current_->values.emplace_back(std::move(name), std::move(*data));
        return true;
    }

    static bool Has(const RegistryKey& key, std::string_view name) {
        if (name.empty()) return key.defaultValue.has_value();
        return FindValue(key.values, name) != key.values.end();
    }

    RegistryFile file_;
    // Into file_: Ensure moves keys only when it adds one, and every key line sets this anew.
    RegistryKey* current_ = nullptr;
    bool seenContent_ = false;
};

}  // namespace

std::optional<RegistryFile> RegistryFile::Parse(std::string_view text, std::string* error) {
    return Parser().Run(text, error);
}

std::string RegistryFile::Serialize() const {
    std::string out(kHeader);
    out += "\n\n";
    for (const RegistryKey& key : keys_) {
        out += '[';
        out += key.path;
        out += "]\n";
        if (key.defaultValue) {
            out += "@=";
            AppendQuoted(out, *key.defaultValue);
            out += '\n';
        }
        for (const auto& [name, value] : key.values) {
            AppendQuoted(out, name);
            out += '=';
            AppendQuoted(out, value);
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

const RegistryKey* RegistryFile::Find(std::string_view path) const {
    const auto found = FindKey(keys_, path);
    return found == keys_.end() ? nullptr : &*found;
}

RegistryKey& RegistryFile::Ensure(std::string_view path) {
    const auto found = FindKey(keys_, path);
    if (found != keys_.end()) return *found;
    keys_.push_back(RegistryKey{std::string(path), std::nullopt, {}});
    return keys_.back();
}

void RegistryFile::SetDefault(std::string_view path, std::string value) {
    Ensure(path).defaultValue = std::move(value);
}

void RegistryFile::SetValue(std::string_view path, std::string_view name, std::string value) {
    // An empty name is the registry's way of naming the default value.
    if (name.empty()) return SetDefault(path, std::move(value));
    auto& values = Ensure(path).values;
    const auto found = FindValue(values, name);
    if (found != values.end())
        found->second = std::move(value);  // the name keeps the case it was first written with
    else
        values.emplace_back(std::string(name), std::move(value));
}

bool RegistryFile::RemoveTree(std::string_view path) {
    const size_t removed = std::erase_if(
        keys_, [&](const RegistryKey& key) { return SameName(key.path, path) || IsBelow(key.path, path); });
    return removed > 0;
}

}  // namespace vexa
