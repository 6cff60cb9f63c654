// vexa-sandbox in a process of its own, for what only a process shows: its memory, and how long
// it takes to stop.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vexa::test {

class SandboxProcess {
public:
    // Starts `binary` on `dataDir` with the account kim:secret (a large credit), the legacy
    // listener and `extra` arguments, its output discarded; returns once its endpoints file is
    // written. Throws std::runtime_error when it does not start within 20 s.
    SandboxProcess(const std::filesystem::path& binary, const std::filesystem::path& dataDir,
                   const std::vector<std::string>& extra = {});
    // Stops it as Stop does.
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    int HttpPort() const { return http_; }
    int HttpsPort() const { return https_; }
    int LegacyPort() const { return legacy_; }
    const std::filesystem::path& Certificate() const { return certificate_; }

    // VmRSS and VmHWM of /proc/PID/status, in KiB; 0 when the process is gone.
    size_t ResidentKiB() const { return StatusField("VmRSS:"); }
    size_t PeakResidentKiB() const { return StatusField("VmHWM:"); }

    // SIGTERM, then waits for the process (killing it after 30 s); how long it took to exit.
    std::chrono::milliseconds Stop();

private:
    size_t StatusField(const std::string& name) const;

    pid_t pid_ = -1;
    int http_ = 0;
    int https_ = 0;
    int legacy_ = 0;
    std::filesystem::path certificate_;
};

}  // namespace vexa::test
