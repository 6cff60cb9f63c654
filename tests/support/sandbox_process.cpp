#include "sandbox_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vexa::test {

namespace {

constexpr auto kStartWait = std::chrono::seconds(20);
constexpr auto kStopWait = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(10);

// The port at the end of "scheme://host:PORT" or "host:PORT".
int PortOf(const std::string& endpoint) {
    const size_t colon = endpoint.rfind(':');
    return colon == std::string::npos ? 0 : std::stoi(endpoint.substr(colon + 1));
}

// This process's environment with `extra` set on top, as "NAME=value" strings.
std::vector<std::string> EnvironmentWith(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : extra) variables[name] = value;
    std::vector<std::string> strings;
    for (const auto& [name, value] : variables) strings.push_back(name + "=" + value);
    return strings;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

SandboxLaunch WithKimAndLegacy(const std::vector<std::string>& extra) {
    SandboxLaunch launch{{"--account", "kim:secret:100000000", "--legacy-port", "0"}, {}, {}};
    launch.arguments.insert(launch.arguments.end(), extra.begin(), extra.end());
    return launch;
}

}  // namespace

SandboxProcess::SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                               const std::vector<std::string>& extra)
    : SandboxProcess(binary, dataDir, WithKimAndLegacy(extra)) {
    if (!Up())
        throw std::runtime_error("sandbox process: " + binary.string() + " did not start: " + Output());
}

SandboxProcess::SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                               const SandboxLaunch& launch) {
    std::vector<std::string> arguments = {binary.string(), "--data-dir", dataDir.string()};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> environment = EnvironmentWith(launch.environment);
    const std::filesystem::path endpoints = dataDir / "endpoints";
    std::error_code ignored;
    std::filesystem::remove(endpoints, ignored);

    // The input goes through a file: small, and read at the child's own pace.
    const std::filesystem::path input = logs_.Path() / "input";
    std::ofstream(input, std::ios::binary) << launch.input;
    const std::string output = (logs_.Path() / "output").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawn(&pid_, arguments[0].c_str(), &actions, nullptr,
                                    Pointers(arguments).data(), Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("sandbox process: cannot start " + binary.string());
    }

    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(endpoints);
        std::string line;
        std::string pid;
        while (std::getline(file, line)) {
            const size_t equals = line.find('=');
            if (equals == std::string::npos) continue;
            const std::string key = line.substr(0, equals);
            const std::string value = line.substr(equals + 1);
            if (key == "http") http_ = PortOf(value);
            if (key == "https") https_ = PortOf(value);
            if (key == "legacy") legacy_ = PortOf(value);
            if (key == "certificate") certificate_ = value;
            if (key == "pid") pid = value;
        }
        // The file is whole once it names the process.
        if (pid == std::to_string(pid_)) return;
        if (Reap(false)) return;
        std::this_thread::sleep_for(kPoll);
    }
    Kill();
    throw std::runtime_error("sandbox process: " + binary.string() + " did not start: " + Output());
}

SandboxProcess::~SandboxProcess() { Stop(); }

bool SandboxProcess::Reap(bool wait) {
    if (pid_ <= 0) return true;
    int status = 0;
    pid_t got = 0;
    while ((got = ::waitpid(pid_, &status, wait ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got != pid_) return false;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return true;
}

std::chrono::milliseconds SandboxProcess::Stop() {
    if (pid_ <= 0) return {};
    const auto start = std::chrono::steady_clock::now();
    ::kill(pid_, SIGTERM);
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() - start > kStopWait) {
            Kill();
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

void SandboxProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    Reap(true);
}

std::string SandboxProcess::Output() const {
    std::ifstream in(logs_.Path() / "output", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t SandboxProcess::StatusField(const std::string& name) const {
    if (pid_ <= 0) return 0;
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with(name)) continue;
        std::istringstream value(line.substr(name.size()));
        size_t kib = 0;
        value >> kib;
        return kib;
    }
    return 0;
}

}  // namespace vexa::test
