#include "sandbox/print_env.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <limits>
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

// 0 unless the value is a process ID.
pid_t ReadPid(const KeyValues& values) {
    const std::optional<long long> pid = NumberOf(values, "pid");
    return pid && *pid > 0 && *pid <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(*pid) : 0;
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
    if (ValueOf(values, "https").empty() || ValueOf(values, "certificate").empty() || pid == 0) {
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
            Export(out, "VEXA_ENDPOINT", ValueOf(values, "https"));
            Export(out, "VEXA_CACERT", ValueOf(values, "certificate"));
            // Not VEXA_LEGACY: vexa would take it and run every command over the legacy protocol.
            Export(out, "VEXA_SANDBOX_LEGACY", ValueOf(values, "legacy"));
            Export(out, "VEXA_USER", ValueOf(values, "user"));
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
