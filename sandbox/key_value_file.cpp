#include "sandbox/key_value_file.h"

#include <charconv>
#include <fstream>

namespace vexa::sandbox {

std::map<std::string, std::string> ReadKeyValues(const std::filesystem::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

std::string ValueOf(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
}

std::optional<long long> NumberOf(const std::map<std::string, std::string>& values, const std::string& key) {
    const std::string text = ValueOf(values, key);
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

}  // namespace vexa::sandbox
