#include "sandbox_process.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

}  // namespace

SandboxProcess::SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                               const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {
        binary.string(), "--data-dir", dataDir.string(), "--account", "kim:secret:100000000",
        "--legacy-port", "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::filesystem::path endpoints = dataDir / "endpoints";
    std::filesystem::remove(endpoints);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("sandbox process: fork failed");
    if (pid_ == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
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
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) break;
        std::this_thread::sleep_for(kPoll);
    }
    Stop();
    throw std::runtime_error("sandbox process: " + binary.string() + " did not start");
}

SandboxProcess::~SandboxProcess() { Stop(); }

std::chrono::milliseconds SandboxProcess::Stop() {
    if (pid_ <= 0) return {};
    const auto start = std::chrono::steady_clock::now();
    ::kill(pid_, SIGTERM);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > kStopWait) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    pid_ = -1;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
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
