#include "sandbox/data_directory.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace vexa::sandbox {

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

void DataDirectory::WriteEndpoints(const Endpoints& endpoints,
                                   const std::filesystem::path& certificate) const {
    const std::filesystem::path temporary = path_ / "endpoints.tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << FormatEndpoints(endpoints, std::filesystem::absolute(certificate));
        if (!out.flush()) throw std::runtime_error("cannot write " + temporary.string());
    }
    std::filesystem::rename(temporary, EndpointsFile());
}

void DataDirectory::RemoveEndpoints() const {
    std::error_code ignored;
    std::filesystem::remove(EndpointsFile(), ignored);
}

}  // namespace vexa::sandbox
