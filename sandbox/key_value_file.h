// The data directory's small text files: one `key=value` line each, written whole.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace vexa::sandbox {

// The file's `key=value` lines (the value runs to the end of its line); empty when the file is
// missing. Lines without `=` are skipped.
std::map<std::string, std::string> ReadKeyValues(const std::filesystem::path& file);

// Replaces the file with `text` through a temporary beside it and a rename, so a reader sees the
// old file or the new one, never half of it.
void WriteWhole(const std::filesystem::path& file, const std::string& text);

}  // namespace vexa::sandbox
