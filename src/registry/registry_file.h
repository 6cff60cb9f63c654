// The registry stand-in: keys and string values in the .reg text format, as a file holds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa {

struct RegistryKey {
    std::string path;                                         // e.g. "HKEY_CLASSES_ROOT\CLSID\{...}"
    std::optional<std::string> defaultValue;                  // "@"
    std::vector<std::pair<std::string, std::string>> values;  // named string values, in order
};

// Keys in the order they were first written. Key paths and value names compare without regard to
// ASCII case, as the registry's do; what is stored keeps the case it was given.
class RegistryFile {
public:
    // What RegistryFile writes (the "Windows Registry Editor Version 5.00" header, "[key]" lines,
    // "@=" and "\"name\"=" string values with \\ and \" escapes, blank lines), plus comments (";")
    // and blank lines anywhere. Nullopt when the text does not parse; error tells where and why.
    static std::optional<RegistryFile> Parse(std::string_view text, std::string* error = nullptr);
    std::string Serialize() const;

    const std::vector<RegistryKey>& Keys() const { return keys_; }
    const RegistryKey* Find(std::string_view path) const;
    // The key, made (empty, at the end) when it is missing.
    RegistryKey& Ensure(std::string_view path);
    void SetDefault(std::string_view path, std::string value);
    void SetValue(std::string_view path, std::string_view name, std::string value);
    // Removes the key and every key below it; false when there was none.
    bool RemoveTree(std::string_view path);

private:
    std::vector<RegistryKey> keys_;
};

}  // namespace vexa
