// vexa-sandbox --print-env: shell lines that point vexa at the sandbox running on a data directory.
#pragma once

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <string>

namespace vexa::sandbox {

// Waits up to `wait` for a sandbox running on `directory` to have written its endpoints file, then
// writes `export` lines for a POSIX shell to `out`: VEXA_ENDPOINT (its HTTPS URL), VEXA_CACERT, and
// VEXA_SANDBOX_LEGACY and VEXA_USER when it has a legacy listener or exactly one account. A file whose
// process has ended was left by a sandbox that was killed and does not count. 0, or 1 with why
// on `err` when no sandbox is running there.
int PrintEnvironment(const std::filesystem::path& directory, std::chrono::milliseconds wait,
                     std::ostream& out, std::ostream& err);

// `text` single-quoted for a POSIX shell: the shell reads it back byte for byte.
std::string ShellQuote(const std::string& text);

}  // namespace vexa::sandbox
