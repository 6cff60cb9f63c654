// The query of a request target, as a browser's GET form writes it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vexa::sandbox {

using QueryValues = std::map<std::string, std::string, std::less<>>;

// The names and values after the '?' of `target`, '+' read as a blank and %XX decoded; the first
// of a repeated name counts. Nullopt for a broken escape.
std::optional<QueryValues> ParseQuery(std::string_view target);

// `value` for a query: everything but letters, digits and "-._~" percent-encoded.
std::string QueryEscape(std::string_view value);

}  // namespace vexa::sandbox
