// The data directory's small text files: one `key=value` line each (written whole by
// WritePrivateFile).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vexa::sandbox {

// The file's `key=value` lines (the value runs to the end of its line); empty when the file is
// missing. Lines without `=` are skipped.
std::map<std::string, std::string> ReadKeyValues(const std::filesystem::path& file);

// The value of `key`; empty when there is none.
std::string ValueOf(const std::map<std::string, std::string>& values, const std::string& key);

// The value of `key` when it is a whole decimal number.
std::optional<long long> NumberOf(const std::map<std::string, std::string>& values, const std::string& key);

}  // namespace vexa::sandbox
