#include "sandbox/query_string.h"

#include <cstdio>

#include "sandbox/routes.h"

namespace vexa::sandbox {

namespace {

std::optional<std::string> DecodeComponent(std::string_view text) {
    std::string plus(text);
    for (char& c : plus) {
        if (c == '+') c = ' ';
    }
    return PercentDecode(plus);
}

}  // namespace

std::optional<QueryValues> ParseQuery(std::string_view target) {
    QueryValues values;
    const size_t mark = target.find('?');
    if (mark == std::string_view::npos) return values;
    std::string_view query = target.substr(mark + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        std::optional<std::string> name = DecodeComponent(pair.substr(0, equals));
        std::optional<std::string> value =
            DecodeComponent(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        values.emplace(std::move(*name), std::move(*value));
    }
    return values;
}

std::string QueryEscape(std::string_view value) {
    std::string out;
    for (const char c : value) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += c;
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
        out += escape;
    }
    return out;
}

}  // namespace vexa::sandbox
