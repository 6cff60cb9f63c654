#include "sandbox/data_directory.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

#include "sandbox/key_value_file.h"

namespace vexa::sandbox {

namespace {

// 0 unless the value is a port number.
int ReadPort(const std::map<std::string, std::string>& values, const std::string& key) {
    const std::optional<long long> port = NumberOf(values, key);
    return port && *port >= 1 && *port <= 65535 ? static_cast<int>(*port) : 0;
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
    std::filesystem::create_directories(directory);
    path_ = std::filesystem::canonical(directory);
    const std::filesystem::path lock = path_ / "sandbox.lock";
    lock_ = UniqueFd(::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock_.Valid()) throw std::system_error(errno, std::generic_category(), "opening " + lock.string());
    if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            throw std::runtime_error(path_.string() + " is in use by another vexa-sandbox");
        }
        throw std::system_error(error, std::generic_category(), "locking " + lock.string());
    }
    // Whatever an earlier run left there no longer holds.
    RemoveEndpoints();
}

std::filesystem::path DataDirectory::EndpointsFile() const { return EndpointsFileOf(path_); }

ListeningPorts DataDirectory::RecordedPorts() const {
    const auto values = ReadKeyValues(PortsFile());
    return {ReadPort(values, "http"), ReadPort(values, "https"), ReadPort(values, "legacy")};
}

void DataDirectory::RecordPorts(const ListeningPorts& ports) const {
    std::string text = "http=" + std::to_string(ports.http) + "\nhttps=" + std::to_string(ports.https) + "\n";
    if (ports.legacy != 0) text += "legacy=" + std::to_string(ports.legacy) + "\n";
    WriteWhole(PortsFile(), text);
}

void DataDirectory::WriteEndpoints(const Endpoints& endpoints, const std::filesystem::path& certificate,
                                   const std::string& soleUser) const {
    std::string text = FormatEndpoints(endpoints, std::filesystem::absolute(certificate));
    if (!soleUser.empty()) text += "user=" + soleUser + "\n";
    text += "pid=" + std::to_string(::getpid()) + "\n";
    WriteWhole(EndpointsFile(), text);
}

void DataDirectory::RemoveEndpoints() const {
    std::error_code ignored;
    std::filesystem::remove(EndpointsFile(), ignored);
}

}  // namespace vexa::sandbox
