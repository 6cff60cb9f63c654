#include "sandbox/private_file.h"

#include <cerrno>
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

}  // namespace vexa::sandbox
