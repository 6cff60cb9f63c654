#include "sandbox/private_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

namespace vexa::sandbox {

UniqueFd OpenPrivateFile(const std::filesystem::path& file, int flags) {
    UniqueFd fd(::open(file.c_str(), flags | O_CLOEXEC, 0600));
    if (!fd.Valid()) throw std::system_error(errno, std::generic_category(), "opening " + file.string());
    // The mode given to open only applies to a file it creates, and then less the umask.
    if (::fchmod(fd.Get(), 0600) != 0) {
        throw std::system_error(errno, std::generic_category(), "protecting " + file.string());
    }
    return fd;
}

void WritePrivateFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        UniqueFd fd = OpenPrivateFile(temporary, O_WRONLY | O_CREAT | O_TRUNC);
        for (size_t written = 0; written < text.size();) {
            const ssize_t n = ::write(fd.Get(), text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                throw std::system_error(errno, std::generic_category(), "writing " + temporary.string());
            written += static_cast<size_t>(n);
        }
        if (!fd.Close())
            throw std::system_error(errno, std::generic_category(), "writing " + temporary.string());
    }
    std::filesystem::rename(temporary, file);
}

std::optional<std::string> ReadOwnerOnlyText(const std::string& file, const std::string& what,
                                             std::string& error) {
    // Read through the descriptor whose status was checked.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!fd.Valid() || ::fstat(fd.Get(), &status) != 0) {
        error = file + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = file + ": not a regular file";
        return std::nullopt;
    }
    if ((status.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        error = file + ": its " + what + " open to other users (mode " + mode + "); chmod 600 " + file;
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
        if (got == 0) return text;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = file + ": " + std::strerror(errno);
            return std::nullopt;
        }
        text.append(chunk, static_cast<size_t>(got));
    }
}

}  // namespace vexa::sandbox
