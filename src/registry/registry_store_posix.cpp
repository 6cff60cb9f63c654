#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/effective_user.h"
#include "platform/unique_fd.h"
#include "registry/registry_store.h"

namespace vexa {

namespace {

namespace fs = std::filesystem;

constexpr const char* kMachineRegistry = "/etc/vexa/registry.reg";
constexpr mode_t kDirectoryMode = 0755;
constexpr mode_t kFileMode = 0644;

// HRESULT_FROM_WIN32 of the system errors that have a closer match than E_FAIL.
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);     // ERROR_FILE_NOT_FOUND
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);     // ERROR_PATH_NOT_FOUND
constexpr HRESULT kWriteProtected = static_cast<HRESULT>(0x80070013);   // ERROR_WRITE_PROTECT
constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x80070070);         // ERROR_DISK_FULL
constexpr HRESULT kFileNameTooLong = static_cast<HRESULT>(0x800700CE);  // ERROR_FILENAME_EXCED_RANGE

HRESULT FromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EISDIR:
            return E_ACCESSDENIED;
        case ENOMEM:
            return E_OUTOFMEMORY;
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
            return kPathNotFound;
        case EROFS:
            return kWriteProtected;
        case ENOSPC:
        case EDQUOT:
            return kDiskFull;
        case ENAMETOOLONG:
            return kFileNameTooLong;
        default:
            return E_FAIL;
    }
}

using Descriptor = UniqueFd;

// The temporary file, removed unless it has been renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Renamed() { path_.clear(); }

private:
    std::string path_;
};

fs::path LockPath(const fs::path& file) {
    fs::path lock = file;
    lock += ".lock";
    return lock;
}

fs::path DirectoryOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string PasswdHome() {
    const std::optional<EffectiveUser> user = EffectiveUserEntry();
    return user && IsAbsolute(user->home.c_str()) ? user->home : std::string();
}

HRESULT Lock(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) return FromErrno(errno);
    }
    return S_OK;
}

// The lock file, open and locked. A writer that empties the registry removes the lock file while
// holding it; whoever opened it before then and was waiting holds a lock that no longer keeps
// anybody out, so the lock counts only once the path still names the file that was locked.
// Without create, a missing lock file is no failure: lock stays invalid.
HRESULT AcquireLock(const fs::path& path, bool create, int operation, Descriptor& lock) {
    for (;;) {
        lock.Reset();  // before open, so that closing cannot touch the errno it may set
        lock = Descriptor(create ? ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode)
                                 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!lock.Valid()) return create || errno != ENOENT ? FromErrno(errno) : S_OK;
        if (const HRESULT hr = Lock(lock.Get(), operation); FAILED(hr)) return hr;
        struct stat locked {};
        struct stat named {};
        if (::fstat(lock.Get(), &locked) != 0) return FromErrno(errno);
        if (::stat(path.c_str(), &named) != 0) {
            if (errno != ENOENT) return FromErrno(errno);
        } else if (named.st_dev == locked.st_dev && named.st_ino == locked.st_ino) {
            return S_OK;
        }
    }
}

// Keys without values are only the folders where other keys would sit (such as the roots that
// registration makes); a registry of nothing else holds nothing.
bool HoldsAValue(const RegistryFile& registry) {
    return std::ranges::any_of(
        registry.Keys(), [](const RegistryKey& key) { return key.defaultValue || !key.values.empty(); });
}

// Unlinks path; one that is gone already is no failure.
HRESULT RemoveFile(const fs::path& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? S_OK : FromErrno(errno);
}

HRESULT ReadAll(int fd, std::string& out) {
    char chunk[8192];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FromErrno(errno);
        if (got == 0) return S_OK;
        out.append(chunk, static_cast<size_t>(got));
    }
}

HRESULT WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return FromErrno(errno);
        text.remove_prefix(static_cast<size_t>(put));
    }
    return S_OK;
}

// The file as it stands, the caller holding the lock; a missing file is an empty registry.
HRESULT Load(const fs::path& file, RegistryFile& out) {
    const Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno != ENOENT) return FromErrno(errno);
        out = RegistryFile();
        return S_OK;
    }
    std::string text;
    if (const HRESULT hr = ReadAll(fd.Get(), text); FAILED(hr)) return hr;
    std::optional<RegistryFile> parsed = RegistryFile::Parse(text);
    if (!parsed) return kRegistryDamaged;
    out = std::move(*parsed);
    return S_OK;
}

HRESULT MakeDirectories(const fs::path& directory) {
    fs::path partial;
    for (const fs::path& part : directory) {
        partial /= part;
        if (::mkdir(partial.c_str(), kDirectoryMode) == 0 || errno == EEXIST) continue;
        const int error = errno;
        struct stat status {};
        if (::stat(partial.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) continue;
        return FromErrno(error);
    }
    return S_OK;
}

// A reader never sees half a file however it runs: the file is only ever replaced by rename.
HRESULT Store(const fs::path& file, const std::string& text) {
    const fs::path directory = DirectoryOf(file);
    // Hidden, so that a listing of the directory does not show a writer at work.
    std::string pattern = (directory / ("." + file.filename().string() + ".XXXXXX")).string();
    Descriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.Valid()) return FromErrno(errno);
    TemporaryFile temporary(std::move(pattern));
    if (const HRESULT hr = WriteAll(fd.Get(), text); FAILED(hr)) return hr;
    // mkstemp makes the file private; the registry is for every host of this user (or machine).
    if (::fchmod(fd.Get(), kFileMode) != 0 || ::fsync(fd.Get()) != 0 || !fd.Close()) return FromErrno(errno);
    if (::rename(temporary.Path().c_str(), file.c_str()) != 0) return FromErrno(errno);
    temporary.Renamed();
    // The rename itself lasts once the directory is on disk; the write has succeeded either way.
    const Descriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.Valid()) ::fsync(directoryFd.Get());
    return S_OK;
}

}  // namespace

std::filesystem::path RegistryPath(RegistryScope scope) {
    if (scope == RegistryScope::kMachine) return kMachineRegistry;
    // Relative settings are ignored, as the XDG rules ask, rather than resolved against whatever
    // directory the host happens to run in.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (IsAbsolute(dataHome)) return fs::path(dataHome) / "vexa" / "registry.reg";
    const char* home = std::getenv("HOME");
    const std::string base = IsAbsolute(home) ? std::string(home) : PasswdHome();
    if (base.empty()) return {};
    return fs::path(base) / ".local" / "share" / "vexa" / "registry.reg";
}

RegistryScope RegistrationScope() { return geteuid() == 0 ? RegistryScope::kMachine : RegistryScope::kUser; }

HRESULT ReadRegistry(const std::filesystem::path& file, RegistryFile& out) {
    // Readers include hosts activating from the machine-wide file, which may not create its lock
    // file; without one they read unlocked, which the rename in Store keeps safe. With it they
    // wait for a writer at work and see what it wrote.
    Descriptor lock;
    if (const HRESULT hr = AcquireLock(LockPath(file), false, LOCK_SH, lock); FAILED(hr)) return hr;
    return Load(file, out);
}

HRESULT UpdateRegistry(const std::filesystem::path& file, const std::function<HRESULT(RegistryFile&)>& edit) {
    if (const HRESULT hr = MakeDirectories(DirectoryOf(file)); FAILED(hr)) return hr;
    // A lock file beside the registry, not the registry itself: rename replaces the registry's
    // inode, and a lock on the old one would not keep out a writer that opened the new one.
    const fs::path lockPath = LockPath(file);
    Descriptor lock;
    if (const HRESULT hr = AcquireLock(lockPath, true, LOCK_EX, lock); FAILED(hr)) return hr;
    RegistryFile registry;
    if (const HRESULT hr = Load(file, registry); FAILED(hr)) return hr;
    if (const HRESULT hr = edit(registry); FAILED(hr)) return hr;
    if (HoldsAValue(registry)) return Store(file, registry.Serialize());
    // Nothing left to keep: no file reads as an empty registry. The registry goes first: once the
    // lock file is gone, a newcomer may lock a new one and write a registry that must stay.
    if (const HRESULT hr = RemoveFile(file); FAILED(hr)) return hr;
    return RemoveFile(lockPath);
}

}  // namespace vexa
