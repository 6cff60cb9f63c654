// vexa-sandbox in a process of its own, for what only a process shows: its memory, how long it
// takes to stop, how it comes back after SIGKILL, and its command line, standard input and
// environment as a user gives them. It is reached only through the endpoints it writes.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "scratch_directory.h"

namespace vexa::test {

// How a sandbox is started, after `--data-dir DIR`.
struct SandboxLaunch {
    std::vector<std::string> arguments;
    std::string input;                                             // its standard input, then end of file
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of this process's
};

class SandboxProcess {
public:
    // Starts `binary` on `dataDir` with the account kim:secret (a large credit), the legacy
    // listener and `extra` arguments; returns once its endpoints file is written. Throws
    // std::runtime_error when it does not start within 20 s.
    SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                   const std::vector<std::string>& extra = {});
    // Starts it as `launch` says and waits until it has written its endpoints, or has exited (then
    // Up is false, and ExitCode and Output say why). Throws when it does neither within 20 s.
    SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                   const SandboxLaunch& launch);
    // Stops it as Stop does.
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    bool Up() const { return pid_ > 0; }
    int HttpPort() const { return http_; }
    int HttpsPort() const { return https_; }
    int LegacyPort() const { return legacy_; }
    const std::filesystem::path& Certificate() const { return certificate_; }

    // VmRSS and VmHWM of /proc/PID/status, in KiB; 0 when the process is gone.
    size_t ResidentKiB() const { return StatusField("VmRSS:"); }
    size_t PeakResidentKiB() const { return StatusField("VmHWM:"); }

    // SIGTERM, then waits for the process (killing it after 30 s); how long it took to exit.
    std::chrono::milliseconds Stop();
    // SIGKILL, then waits for the process.
    void Kill();
    // How it ended: its exit code, 128 + the signal that ended it, or -1 while it runs.
    int ExitCode() const { return exitCode_; }
    // What it wrote on standard output and standard error so far.
    std::string Output() const;

private:
    size_t StatusField(const std::string& name) const;
    // Waits for it to end; true when it has.
    bool Reap(bool wait);

    ScratchDirectory logs_;  // beside the data directory, whose files are checked
    pid_t pid_ = -1;
    int exitCode_ = -1;
    int http_ = 0;
    int https_ = 0;
    int legacy_ = 0;
    std::filesystem::path certificate_;
};

}  // namespace vexa::test
