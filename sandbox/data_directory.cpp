#include "sandbox/data_directory.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "sandbox/key_value_file.h"
#include "sandbox/private_file.h"

namespace vexa::sandbox {

namespace {

// 0 unless the value is a port number.
int ReadPort(const std::map<std::string, std::string>& values, const std::string& key) {
    const std::optional<long long> port = NumberOf(values, key);
    return port && *port >= 1 && *port <= 65535 ? static_cast<int>(*port) : 0;
}

struct stat StatusOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        throw std::system_error(errno, std::generic_category(), "reading the status of " + path.string());
    }
    return status;
}

void RequireOwnOwner(const std::filesystem::path& path, const struct stat& status) {
    if (status.st_uid == ::geteuid()) return;
    throw std::runtime_error(path.string() + " belongs to user " + std::to_string(status.st_uid) +
                             ", not to this one (" + std::to_string(::geteuid()) +
                             "): the data directory and its files must be the sandbox user's own; use "
                             "another --data-dir or change their owner");
}

// The directory itself made 0700; created so when missing (its parents as usual).
void MakePrivateDirectory(const std::filesystem::path& directory) {
    if (!directory.parent_path().empty()) std::filesystem::create_directories(directory.parent_path());
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        throw std::system_error(errno, std::generic_category(), "creating " + directory.string());
    }
}

// Every regular file directly in the directory made 0600, whatever an earlier version or the
// user left; symbolic links and subdirectories are not the sandbox's and stay as they are.
void TightenFiles(const std::filesystem::path& directory) {
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(directory)) {
        const struct stat status = StatusOf(entry.path());
        if (!S_ISREG(status.st_mode)) continue;
        RequireOwnOwner(entry.path(), status);
        if ((status.st_mode & 07777) != 0600) std::filesystem::permissions(entry.path(), kPrivateFileMode);
    }
}

}  // namespace

std::filesystem::path EndpointsFileOf(const std::filesystem::path& directory) {
    return directory / "endpoints";
}

std::string FormatEndpoints(const Endpoints& endpoints, const std::filesystem::path& certificate) {
    std::string text = "http=" + endpoints.http + "\nhttps=" + endpoints.https +
                       "\ncertificate=" + certificate.string() + "\n";
    if (!endpoints.legacy.empty()) text += "legacy=" + endpoints.legacy + "\n";
    return text;
}

DataDirectory::DataDirectory(const std::filesystem::path& directory) {
    MakePrivateDirectory(directory);
    path_ = std::filesystem::canonical(directory);
    const struct stat status = StatusOf(path_);
    RequireOwnOwner(path_, status);
    if ((status.st_mode & 07777) != 0700) std::filesystem::permissions(path_, kPrivateDirectoryMode);
    const std::filesystem::path lock = path_ / "sandbox.lock";
    lock_ = OpenPrivateFile(lock, O_RDWR | O_CREAT);
    if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            throw std::runtime_error(path_.string() + " is in use by another vexa-sandbox");
        }
        throw std::system_error(error, std::generic_category(), "locking " + lock.string());
    }
    // Whatever an earlier run left there no longer holds.
    RemoveEndpoints();
    TightenFiles(path_);
    // SQLite creates a database file with the umask's mode, and its -wal and -shm files with the
    // mode of the database file: so the store is created here, empty, with the right one.
    OpenPrivateFile(StoreFile(), O_RDWR | O_CREAT);
}

std::filesystem::path DataDirectory::EndpointsFile() const { return EndpointsFileOf(path_); }

ListeningPorts DataDirectory::RecordedPorts() const {
    const auto values = ReadKeyValues(PortsFile());
    return {ReadPort(values, "http"), ReadPort(values, "https"), ReadPort(values, "legacy")};
}

void DataDirectory::RecordPorts(const ListeningPorts& ports) const {
    std::string text = "http=" + std::to_string(ports.http) + "\nhttps=" + std::to_string(ports.https) + "\n";
    if (ports.legacy != 0) text += "legacy=" + std::to_string(ports.legacy) + "\n";
    WritePrivateFile(PortsFile(), text);
}

void DataDirectory::WriteEndpoints(const Endpoints& endpoints, const std::filesystem::path& certificate,
                                   const std::string& soleUser) const {
    std::string text = FormatEndpoints(endpoints, std::filesystem::absolute(certificate));
    if (!soleUser.empty()) text += "user=" + soleUser + "\n";
    text += "pid=" + std::to_string(::getpid()) + "\n";
    if (!endpoints.inbox.empty()) text += "inbox=" + endpoints.inbox + "\n";
    WritePrivateFile(EndpointsFile(), text);
}

void DataDirectory::RemoveEndpoints() const {
    std::error_code ignored;
    std::filesystem::remove(EndpointsFile(), ignored);
}

}  // namespace vexa::sandbox
