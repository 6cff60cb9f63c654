#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <optional>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/c_handle.h"
#include "rest/curl_sessions.h"

namespace vexa {

namespace {

using Clock = std::chrono::steady_clock;
using ShareHandle = CHandle<CURLSH, curl_share_cleanup>;
using StoreHandle = CHandle<X509_STORE, X509_STORE_free>;
using EasyHandle = CHandle<CURL, curl_easy_cleanup>;

// Enough for a host's threads each holding a connection to the service.
constexpr long kConnectionsPerSession = 16;

// What a file on disk is now: a file replaced or rewritten reads differently.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;  // nanoseconds
    int64_t changed = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
    auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {true, st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

// Where libcurl itself would look for the system's certificates: its built-in bundle file and
// hashed directory.
struct SystemLocations {
    std::string file;
    std::string directory;
};

const SystemLocations& SystemCertificateLocations() {
    static const SystemLocations locations = [] {
        SystemLocations found;
        const EasyHandle easy(curl_easy_init());
        char* text = nullptr;
        if (easy && curl_easy_getinfo(easy.get(), CURLINFO_CAINFO, &text) == CURLE_OK && text)
            found.file = text;
        text = nullptr;
        if (easy && curl_easy_getinfo(easy.get(), CURLINFO_CAPATH, &text) == CURLE_OK && text)
            found.directory = text;
        return found;
    }();
    return locations;
}

// The state of every file a trust set's store is read from.
struct TrustStamps {
    FileStamp systemFile;
    FileStamp systemDirectory;
    FileStamp trustFile;

    bool operator==(const TrustStamps&) const = default;
};

TrustStamps StampsOf(const std::string& trustFile) {
    const SystemLocations& system = SystemCertificateLocations();
    return {StampOf(system.file), StampOf(system.directory), StampOf(trustFile)};
}

// The store libcurl would make for a connection, made once: the system's bundle and directory,
// the trust file's certificates, and libcurl's verification flags.
StoreHandle MakeStore(const std::string& trustFile) {
    StoreHandle store(X509_STORE_new());
    if (!store) return nullptr;
    const SystemLocations& system = SystemCertificateLocations();
    // A system location that cannot be read leaves the other, as libcurl does.
    if (!system.file.empty()) X509_STORE_load_file(store.get(), system.file.c_str());
    if (!system.directory.empty()) X509_STORE_load_path(store.get(), system.directory.c_str());
    ERR_clear_error();
    if (!trustFile.empty() && X509_STORE_load_file(store.get(), trustFile.c_str()) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    X509_STORE_set_flags(store.get(), X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN);
    return store;
}

}  // namespace

// One trust set's share and store. The pool's lock guards the bookkeeping fields.
class CurlSession {
public:
    CurlSession(std::string trustFile, TrustStamps stamps)
        : trustFile_(std::move(trustFile)), stamps_(stamps) {}
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    bool Start() {
        share_.reset(curl_share_init());
        if (!share_) return false;
        CURLSHcode rc = CURLSHE_OK;
        auto set = [&](CURLSHoption option, auto value) {
            if (rc == CURLSHE_OK) rc = curl_share_setopt(share_.get(), option, value);
        };
        set(CURLSHOPT_LOCKFUNC, &CurlSession::Lock);
        set(CURLSHOPT_UNLOCKFUNC, &CurlSession::Unlock);
        set(CURLSHOPT_USERDATA, this);
        set(CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        set(CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        set(CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        return rc == CURLSHE_OK;
    }

    // Everything an exchange's handle needs to work within the session.
    bool Join(CURL* easy) {
        CURLcode rc = CURLE_OK;
        auto set = [&](CURLoption option, auto value) {
            if (rc == CURLE_OK) rc = curl_easy_setopt(easy, option, value);
        };
        set(CURLOPT_SHARE, share_.get());
        set(CURLOPT_MAXCONNECTS, kConnectionsPerSession);
        set(CURLOPT_MAXAGE_CONN, static_cast<long>(kIdleConnectionLimit.count()));
        set(CURLOPT_OPENSOCKETFUNCTION, &CurlSession::OpenSocket);
        set(CURLOPT_OPENSOCKETDATA, this);
        set(CURLOPT_CLOSESOCKETFUNCTION, &CurlSession::CloseSocket);
        set(CURLOPT_CLOSESOCKETDATA, this);
        return rc == CURLE_OK;
    }

    // libcurl tells an exchange which connection it got by its local address and port only.
    int SocketOf(const char* localAddress, int localPort) {
        std::lock_guard lock(socketsLock_);
        for (const int socket : sockets_) {
            sockaddr_storage local{};
            socklen_t length = sizeof local;
            if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) continue;
            char text[INET6_ADDRSTRLEN] = "";
            int port = 0;
            if (local.ss_family == AF_INET) {
                const auto& in = reinterpret_cast<const sockaddr_in&>(local);
                inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
                port = ntohs(in.sin_port);
            } else if (local.ss_family == AF_INET6) {
                const auto& in6 = reinterpret_cast<const sockaddr_in6&>(local);
                inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
                port = ntohs(in6.sin6_port);
            }
            if (port == localPort && localAddress && std::strcmp(text, localAddress) == 0) return socket;
        }
        return -1;
    }

    // Parsed on the first TLS connection, so plain HTTP never pays for it.
    X509_STORE* Store() {
        std::call_once(storeMade_, [this] { store_ = MakeStore(trustFile_); });
        return store_.get();
    }

    bool Serves(const std::string& trustFile, const TrustStamps& stamps) const {
        return !retired && trustFile_ == trustFile && stamps_ == stamps;
    }
    // In a child process made by fork: the connections are the parent's too, so the child
    // closes its copies of their sockets and leaves everything else of the session untouched.
    void Forget() {
        for (const int socket : sockets_) ::close(socket);
        sockets_.clear();
        (void)share_.release();
    }

    // Made from files that changed since: the trust file named, or the system's (which every
    // trust set reads).
    bool Outdated(const std::string& trustFile, const TrustStamps& stamps) const {
        return (trustFile_ == trustFile && !(stamps_.trustFile == stamps.trustFile)) ||
               !(stamps_.systemFile == stamps.systemFile) ||
               !(stamps_.systemDirectory == stamps.systemDirectory);
    }

    // Under the pool's lock.
    int users = 0;
    Clock::time_point idleSince = Clock::now();
    bool retired = false;  // its files changed: lent no more, closed once idle

private:
    // The sockets of the session's connections, opened without inheritance by child processes.
    static curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) noexcept {
        auto& session = *static_cast<CurlSession*>(user);
        const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (socket < 0) return CURL_SOCKET_BAD;
        try {
            std::lock_guard lock(session.socketsLock_);
            session.sockets_.push_back(socket);
        } catch (const std::bad_alloc&) {
            ::close(socket);
            return CURL_SOCKET_BAD;
        }
        return socket;
    }
    static int CloseSocket(void* user, curl_socket_t socket) noexcept {
        auto& session = *static_cast<CurlSession*>(user);
        std::lock_guard lock(session.socketsLock_);
        std::erase(session.sockets_, socket);
        return ::close(socket);
    }

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) noexcept {
        static_cast<CurlSession*>(user)->locks_[Index(data)].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user) noexcept {
        static_cast<CurlSession*>(user)->locks_[Index(data)].unlock();
    }
    static size_t Index(curl_lock_data data) {
        return std::min(static_cast<size_t>(data), static_cast<size_t>(CURL_LOCK_DATA_LAST));
    }

    const std::string trustFile_;
    const TrustStamps stamps_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST + 1> locks_;
    std::mutex socketsLock_;
    std::vector<int> sockets_;
    std::once_flag storeMade_;
    StoreHandle store_;
    ShareHandle share_;  // last, so it goes first: its connections may still call Lock
};

namespace {

class Pool {
public:
    SessionLease Borrow(const std::string& trustFile) {
        const TrustStamps stamps = StampsOf(trustFile);     // outside the lock: it reads the disk
        std::vector<std::shared_ptr<CurlSession>> closing;  // closed after the lock is let go
        std::lock_guard lock(mutex_);
        for (const std::shared_ptr<CurlSession>& session : sessions_) {
            if (session->Serves(trustFile, stamps)) {
                ++session->users;
                return SessionLease(session);
            }
        }
        // Sessions made from files that changed since are lent no more.
        for (const std::shared_ptr<CurlSession>& session : sessions_) {
            if (session->Outdated(trustFile, stamps)) session->retired = true;
        }
        auto session = std::make_shared<CurlSession>(trustFile, stamps);
        if (!session->Start()) return {};
        session->users = 1;
        sessions_.push_back(session);
        closing = TakeUnusedRetired();
        StartReaper();
        return SessionLease(std::move(session));
    }

    void Return(CurlSession& session) {
        std::vector<std::shared_ptr<CurlSession>> closing;  // closed after the lock is let go
        std::lock_guard lock(mutex_);
        --session.users;
        session.idleSince = Clock::now();
        closing = TakeUnusedRetired();
        wake_.notify_all();
    }

    void SetIdleLimit(std::chrono::milliseconds limit) {
        std::lock_guard lock(mutex_);
        idleLimit_ = limit;
        wake_.notify_all();
    }

    size_t Count() {
        std::lock_guard lock(mutex_);
        return sessions_.size();
    }

    // Around fork: the pool is not in the middle of a change while the process is copied, and
    // the child starts with an empty pool of its own.
    void BeforeFork() { mutex_.lock(); }
    void AfterForkInParent() { mutex_.unlock(); }
    void AfterForkInChild() {
        mutex_.unlock();
        // A session that a thread of the parent was using stays with that thread's lease, which
        // the child never returns.
        for (const std::shared_ptr<CurlSession>& session : sessions_) session->Forget();
        sessions_.clear();
        // The reaper thread was not copied: its handle is dropped without being joined, and the
        // condition it waited on starts afresh without it.
        new (&reaper_) std::thread();
        new (&wake_) std::condition_variable();
        reaperRunning_ = false;
    }

    // Stops the reaper and closes every idle connection. False when an exchange still runs
    // (the process is ending under a host thread): then the pool must stay as it is.
    bool Shutdown() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (reaper_.joinable()) reaper_.join();
        std::vector<std::shared_ptr<CurlSession>> closing;
        {
            std::lock_guard lock(mutex_);
            const bool inUse = std::any_of(sessions_.begin(), sessions_.end(),
                                           [](const auto& session) { return session->users > 0; });
            if (inUse) return false;
            closing.swap(sessions_);
        }
        return true;
    }

private:
    // Under the lock: the retired sessions nobody uses, taken out of the pool.
    std::vector<std::shared_ptr<CurlSession>> TakeUnusedRetired() {
        std::vector<std::shared_ptr<CurlSession>> taken;
        std::erase_if(sessions_, [&](const std::shared_ptr<CurlSession>& session) {
            if (!session->retired || session->users > 0) return false;
            taken.push_back(session);
            return true;
        });
        return taken;
    }

    // Under the lock: a reaper runs while any session stands.
    void StartReaper() {
        if (reaperRunning_ || stopping_) return;
        if (reaper_.joinable()) reaper_.join();  // one that ended: it needs the lock no more
        reaper_ = std::thread([this] { Reap(); });
        reaperRunning_ = true;
    }

    void Reap() {
        pthread_setname_np(pthread_self(), kReaperName);
        std::unique_lock lock(mutex_);
        while (!stopping_ && !sessions_.empty()) {
            const Clock::time_point now = Clock::now();
            std::vector<std::shared_ptr<CurlSession>> expired;
            std::optional<Clock::time_point> next;
            std::erase_if(sessions_, [&](const std::shared_ptr<CurlSession>& session) {
                if (session->users > 0) return false;
                const Clock::time_point due = session->idleSince + idleLimit_;
                if (due <= now) {
                    expired.push_back(session);
                    return true;
                }
                next = next ? std::min(*next, due) : due;
                return false;
            });
            if (!expired.empty()) {
                // Closing connections takes time (TLS close notes): not under the lock.
                lock.unlock();
                expired.clear();
                lock.lock();
                continue;
            }
            if (next) {
                wake_.wait_until(lock, *next);
            } else {
                wake_.wait(lock);
            }
        }
        reaperRunning_ = false;
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<CurlSession>> sessions_;
    std::chrono::milliseconds idleLimit_ = kIdleConnectionLimit;
    bool reaperRunning_ = false;
    bool stopping_ = false;
    std::thread reaper_;
};

// The pool lives as long as the module: unloading it stops the reaper and closes the idle
// connections. When the process ends while a host thread is in an exchange, the pool is left to
// the system instead, since that thread still uses it.
class PoolOwner {
public:
    PoolOwner() {
        pthread_atfork([] { ForLivePool(&Pool::BeforeFork); }, [] { ForLivePool(&Pool::AfterForkInParent); },
                       [] { ForLivePool(&Pool::AfterForkInChild); });
        live_ = pool_.get();
    }
    ~PoolOwner() {
        live_ = nullptr;
        if (!pool_->Shutdown()) (void)pool_.release();
    }
    Pool& Get() { return *pool_; }

private:
    // The fork handlers outlive the pool when the process ends (a module unloaded takes its
    // handlers with it).
    static void ForLivePool(void (Pool::*step)()) {
        if (Pool* pool = live_.load()) (pool->*step)();
    }

    static inline std::atomic<Pool*> live_{nullptr};
    std::unique_ptr<Pool> pool_ = std::make_unique<Pool>();
};

Pool& ThePool() {
    static PoolOwner owner;
    return owner.Get();
}

}  // namespace

SessionLease::SessionLease(std::shared_ptr<CurlSession> session) : session_(std::move(session)) {}

SessionLease::~SessionLease() {
    if (session_) ThePool().Return(*session_);
}

SessionLease& SessionLease::operator=(SessionLease&& other) noexcept {
    if (this != &other) {
        if (session_) ThePool().Return(*session_);
        session_ = std::move(other.session_);
    }
    return *this;
}

bool SessionLease::Join(CURL* easy) const { return session_->Join(easy); }
int SessionLease::SocketOf(const char* localAddress, int localPort) const {
    return session_->SocketOf(localAddress, localPort);
}
X509_STORE* SessionLease::Store() const { return session_->Store(); }

SessionLease BorrowSession(const std::string& trustedCertificates) {
    return ThePool().Borrow(trustedCertificates);
}

void SetIdleConnectionLimit(std::chrono::milliseconds limit) { ThePool().SetIdleLimit(limit); }

size_t CurlSessionCount() { return ThePool().Count(); }

}  // namespace vexa
