#include "profiles.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "arguments.h"

namespace vexa_cli {

const ProfileKey kProfileKeys[6] = {
    {"endpoint", "service endpoint (as --endpoint)"},
    {"user", "user ID (as --user)"},
    {"cacert", "certificates to trust (as --cacert)"},
    {"legacy", "legacy service HOST:PORT (as --legacy)"},
    {"module", "VexaComponent32.so to load (as --module)"},
    {"password_file", "a file holding the password, mode 0600"},
};

namespace {

bool KnownKey(std::string_view key) {
    for (const ProfileKey& k : kProfileKeys)
        if (key == k.key) return true;
    return false;
}

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool BareName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    return true;
}

// A basic TOML string: "...", with \" \\ \n \t escapes; nothing may follow but a comment.
std::string ParseString(std::string_view text, const std::string& where) {
    if (!text.starts_with('"')) throw UsageError(where + "a value is a quoted string");
    std::string value;
    size_t i = 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\') {
            value += text[i];
            continue;
        }
        if (++i == text.size()) break;
        switch (text[i]) {
            case '"':
            case '\\':
                value += text[i];
                break;
            case 'n':
                value += '\n';
                break;
            case 't':
                value += '\t';
                break;
            default:
                throw UsageError(where + "unknown escape \\" + std::string(1, text[i]));
        }
    }
    if (i >= text.size()) throw UsageError(where + "a string is not closed");
    const std::string_view rest = Trim(text.substr(i + 1));
    if (!rest.empty() && !rest.starts_with('#')) throw UsageError(where + "text after the value");
    return value;
}

std::string Quote(std::string_view value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c == '\n')
            quoted += "\\n";
        else if (c == '\t')
            quoted += "\\t";
        else
            quoted += c;
    }
    return quoted + '"';
}

}  // namespace

std::filesystem::path ProfileFilePath() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "vexa" / "config.toml";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config" / "vexa" / "config.toml";
    return {};
}

Profiles ParseProfiles(std::string_view text, const std::string& fileName) {
    Profiles profiles;
    Profile* current = nullptr;
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        const std::string where = fileName + ":" + std::to_string(++number) + ": ";
        if (line.empty() || line.starts_with('#')) continue;
        if (line.starts_with('[')) {
            const size_t close = line.find(']');
            const std::string_view name =
                close == std::string_view::npos ? "" : Trim(line.substr(1, close - 1));
            if (!BareName(name))
                throw UsageError(where + "a profile is [NAME] of letters, digits, '-' and '_'");
            current = &profiles[std::string(name)];
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            throw UsageError(where + "expected KEY = \"VALUE\" or [PROFILE]");
        const std::string key(Trim(line.substr(0, equals)));
        if (!current) throw UsageError(where + "'" + key + "' stands before any [PROFILE]");
        if (!KnownKey(key)) throw UsageError(where + "unknown key '" + key + "'");
        (*current)[key] = ParseString(Trim(line.substr(equals + 1)), where);
    }
    return profiles;
}

std::string FormatProfiles(const Profiles& profiles) {
    std::string text = "# vexa profiles: vexa config set KEY VALUE [--profile NAME]\n";
    for (const auto& [name, profile] : profiles) {
        text += "\n[" + name + "]\n";
        for (const auto& [key, value] : profile) text += key + " = " + Quote(value) + "\n";
    }
    return text;
}

Profiles LoadProfiles(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseProfiles(text, file.string());
}

void SaveProfiles(const std::filesystem::path& file, const Profiles& profiles) {
    if (file.empty()) throw UsageError("no place for the profiles: set HOME or XDG_CONFIG_HOME");
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        throw std::runtime_error("cannot create " + file.parent_path().string() + ": " + error.message());
    ::chmod(file.parent_path().c_str(), 0700);
    const std::filesystem::path temporary = file.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << FormatProfiles(profiles);
        if (!out.flush()) throw std::runtime_error("cannot write " + temporary.string());
    }
    ::chmod(temporary.c_str(), 0600);
    std::filesystem::rename(temporary, file, error);
    if (error) throw std::runtime_error("cannot replace " + file.string() + ": " + error.message());
}

std::string ReadPasswordFile(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) throw UsageError("cannot read the password file " + file.string());
    if (info.st_mode & 077)
        throw UsageError("the password file " + file.string() + " may be read by others: chmod 600 " +
                         file.string());
    std::ifstream in(file, std::ios::binary);
    std::string password;
    if (!in || !std::getline(in, password))
        throw UsageError("the password file " + file.string() + " is empty");
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

void ApplyProfile(RawOptions& raw, const std::string& name, const std::filesystem::path& file) {
    const Profiles profiles = file.empty() ? Profiles{} : LoadProfiles(file);
    const auto found = profiles.find(name.empty() ? kDefaultProfile : name);
    if (found == profiles.end()) {
        if (!name.empty()) throw UsageError("no profile '" + name + "' in " + file.string());
        return;
    }
    const Profile& profile = found->second;
    const auto fill = [&](std::string& value, const char* key) {
        if (const auto it = profile.find(key); value.empty() && it != profile.end()) value = it->second;
    };
    CommonOptions& o = raw.common;
    fill(o.endpoint, "endpoint");
    fill(o.user, "user");
    fill(o.cacert, "cacert");
    fill(o.module, "module");
    if (const auto legacy = profile.find("legacy"); !raw.legacy && legacy != profile.end())
        raw.legacy = legacy->second;
    if (const auto passwordFile = profile.find("password_file");
        o.password.empty() && passwordFile != profile.end())
        o.password = ReadPasswordFile(passwordFile->second);
}

}  // namespace vexa_cli
