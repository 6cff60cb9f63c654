#include "sandbox/print_env.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <sstream>
#include <thread>

#include "sandbox/data_directory.h"
#include "sandbox/key_value_file.h"

namespace vexa::sandbox {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

using KeyValues = std::map<std::string, std::string>;

std::string Value(const KeyValues& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
}

pid_t ReadPid(const KeyValues& values) {
    const std::string text = Value(values, "pid");
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    return error == std::errc() && end == text.data() + text.size() ? pid : 0;
}

// EPERM: it runs, as another user. A process killed but not yet waited for by its parent is a
// zombie (state Z), which no longer listens.
bool Alive(pid_t pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text{std::istreambuf_iterator<char>(stat), {}};
    const size_t name = text.rfind(')');  // the command's name, in parentheses, may hold anything
    return name == std::string::npos || text.compare(name, 3, ") Z") != 0;
}

// Empty when the file tells of a running sandbox; else why not.
std::string WhyNotRunning(const std::filesystem::path& file, const KeyValues& values) {
    if (values.empty()) return file.string() + " is not there";
    const pid_t pid = ReadPid(values);
    if (Value(values, "https").empty() || Value(values, "certificate").empty() || pid == 0) {
        return file.string() + " does not name the HTTPS endpoint, the certificate and the process";
    }
    if (!Alive(pid)) {
        return file.string() + " was left by process " + std::to_string(pid) + ", which has ended";
    }
    return {};
}

void Export(std::ostream& out, const char* name, const std::string& value) {
    if (!value.empty()) out << "export " << name << '=' << ShellQuote(value) << '\n';
}

}  // namespace

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

int PrintEnvironment(const std::filesystem::path& directory, std::chrono::milliseconds wait,
                     std::ostream& out, std::ostream& err) {
    const std::filesystem::path file = EndpointsFileOf(directory);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const KeyValues values = ReadKeyValues(file);
        const std::string why = WhyNotRunning(file, values);
        if (why.empty()) {
            Export(out, "VEXA_ENDPOINT", Value(values, "https"));
            Export(out, "VEXA_CACERT", Value(values, "certificate"));
            Export(out, "VEXA_LEGACY", Value(values, "legacy"));
            Export(out, "VEXA_USER", Value(values, "user"));
            out << std::flush;
            return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            std::ostringstream seconds;
            seconds << static_cast<double>(wait.count()) / 1000;
            err << "vexa-sandbox: no sandbox is running on " << directory.string() << " (waited "
                << seconds.str() << " s: " << why << ")" << std::endl;
            return 1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace vexa::sandbox
