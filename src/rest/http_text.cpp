#include "rest/http_text.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace vexa {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    return text;
}

bool IsToken(std::string_view text) {
    static constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kSymbols.find(c) != std::string_view::npos;
    });
}

bool IsFieldValue(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == text.npos;
}

std::string CharsetOf(const std::string& contentType) {
    std::string lower = contentType;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    static constexpr std::string_view kKey = "charset=";
    const size_t start = lower.find(kKey);
    if (start == std::string::npos) return {};
    const size_t from = start + kKey.size();
    const size_t end = std::min(lower.find(';', from), lower.size());
    return std::string(Trim(std::string_view(contentType).substr(from, end - from)));
}

int64_t ParseLength(std::string_view text) {
    if (text.empty()) return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        if (value > (std::numeric_limits<int64_t>::max() - 9) / 10)
            return std::numeric_limits<int64_t>::max();
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace vexa
