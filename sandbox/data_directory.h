// The sandbox's data directory: the store, the certificate, the ports of the last start, and the
// endpoints file that tells scripts where a running sandbox listens. One sandbox at a time holds it.
// It holds password hashes and a private key, so it is the user's alone: the directory mode 0700,
// every file in it 0600.
#pragma once

#include <filesystem>
#include <string>

#include "platform/unique_fd.h"
#include "sandbox/http_server.h"
#include "sandbox/ports.h"

namespace vexa::sandbox {

class DataDirectory {
public:
    // Creates the directory (0700) if needed, takes its lock and creates the store file (0600) when
    // missing. An existing directory is tightened to 0700 and its files to 0600. Throws when
    // another sandbox holds it, or when the directory or a file in it belongs to another user
    // (whose files this process should neither take over nor leave readable).
    explicit DataDirectory(const std::filesystem::path& directory);
    DataDirectory(const DataDirectory&) = delete;
    DataDirectory& operator=(const DataDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path StoreFile() const { return path_ / "sandbox.db"; }
    std::filesystem::path EndpointsFile() const;
    std::filesystem::path PortsFile() const { return path_ / "ports"; }

    // The ports the last start listened on, so that a restart can take them again.
    ListeningPorts RecordedPorts() const;
    void RecordPorts(const ListeningPorts& ports) const;

    // Writes the endpoints file whole (a reader never sees half of it):
    //   http=http://127.0.0.1:PORT
    //   https=https://127.0.0.1:PORT
    //   certificate=/absolute/path/cert.pem
    //   legacy=127.0.0.1:PORT          (only with a legacy listener)
    //   user=USER                      (only when the store has exactly one account)
    //   pid=PID                        (this process: a file left by one that died is told apart)
    //   inbox=http://127.0.0.1:PORT/inbox/   (only while the web inbox is served)
    void WriteEndpoints(const Endpoints& endpoints, const std::filesystem::path& certificate,
                        const std::string& soleUser) const;
    void RemoveEndpoints() const;

private:
    std::filesystem::path path_;
    UniqueFd lock_;
};

// Where the endpoints file of the data directory `directory` lies, for readers that do not hold it.
std::filesystem::path EndpointsFileOf(const std::filesystem::path& directory);

// The endpoints' lines of that file, as a start prints them.
std::string FormatEndpoints(const Endpoints& endpoints, const std::filesystem::path& certificate);

}  // namespace vexa::sandbox
