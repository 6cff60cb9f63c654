// vexa-sandbox run as a process of its own on a data directory, as a user runs it: started with
// arguments (and, when given, text on its standard input and variables in its environment),
// reached only through the endpoints it writes, stopped with SIGTERM or killed with SIGKILL.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "scratch_directory.h"

namespace vexa::sandbox::test {

struct ProcessStart {
    std::vector<std::string> arguments;                            // after --data-dir DIR
    std::string input;                                             // its standard input, then end of file
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of this process's
};

class SandboxProcess {
public:
    // Starts it on `dataDir` and waits until it has written its endpoints, or has exited.
    SandboxProcess(std::filesystem::path dataDir, const ProcessStart& start);
    // Stops it with SIGTERM when it still runs.
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    // Whether it came up and listens; otherwise ExitCode says how it ended.
    bool Up() const { return up_; }
    int HttpsPort() const { return httpsPort_; }
    int HttpPort() const { return httpPort_; }
    const std::filesystem::path& Certificate() const { return certificate_; }

    // SIGKILL, or SIGTERM for a clean stop; then waits for it. Its exit code (128 + the signal
    // when a signal ended it).
    int Kill();
    int Stop();
    int ExitCode();
    // What it wrote on standard output and standard error so far.
    std::string Output() const;

private:
    int End(int signal);

    std::filesystem::path dataDir_;
    vexa::test::ScratchDirectory logs_;  // outside the data directory, whose modes are checked
    pid_t pid_ = -1;
    int exitCode_ = -1;
    bool up_ = false;
    int httpsPort_ = 0;
    int httpPort_ = 0;
    std::filesystem::path certificate_;
};

}  // namespace vexa::sandbox::test
