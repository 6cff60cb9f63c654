#include "sandbox_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/unique_fd.h"
#include "sandbox/key_value_file.h"

#ifndef VEXA_SANDBOX_PATH
#error "VEXA_SANDBOX_PATH comes from the build"
#endif

extern char** environ;

namespace vexa::sandbox::test {

namespace {

// A start under a sanitizer on a loaded machine takes seconds; past this it is taken for hung.
constexpr std::chrono::seconds kStartWait{60};

int PortOf(const std::string& url) {
    const size_t colon = url.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(url.c_str() + colon + 1);
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

}  // namespace

SandboxProcess::SandboxProcess(std::filesystem::path dataDir, const ProcessStart& start)
    : dataDir_(std::move(dataDir)) {
    std::vector<std::string> args = {VEXA_SANDBOX_PATH, "--data-dir", dataDir_.string()};
    args.insert(args.end(), start.arguments.begin(), start.arguments.end());
    std::vector<std::string> environment = EnvironmentWith(start.environment);

    // The input goes through a file: small, and read at the child's own pace.
    const std::filesystem::path input = logs_.Path() / "input";
    std::ofstream(input, std::ios::binary) << start.input;
    const std::string output = (logs_.Path() / "output").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                                    Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + args[0]);

    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    const std::string ownPid = std::to_string(pid_);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
            return;
        }
        const auto values = ReadKeyValues(dataDir_ / "endpoints");
        if (ValueOf(values, "pid") == ownPid) {
            httpsPort_ = PortOf(ValueOf(values, "https"));
            httpPort_ = PortOf(ValueOf(values, "http"));
            certificate_ = ValueOf(values, "certificate");
            up_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    End(SIGKILL);
    throw std::runtime_error("vexa-sandbox did not come up: " + Output());
}

SandboxProcess::~SandboxProcess() {
    if (pid_ > 0) End(SIGTERM);
}

int SandboxProcess::End(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        up_ = false;
    }
    return exitCode_;
}

int SandboxProcess::Kill() { return End(SIGKILL); }
int SandboxProcess::Stop() { return End(SIGTERM); }
int SandboxProcess::ExitCode() { return exitCode_; }

std::string SandboxProcess::Output() const {
    std::ifstream in(logs_.Path() / "output", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vexa::sandbox::test
