// An owned file descriptor, closed with its owner.
#pragma once

#include <unistd.h>
#include <utility>

namespace vexa {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Hands the descriptor to a new owner, which closes it from then on.
    [[nodiscard]] int Release() { return std::exchange(fd_, -1); }
    // Closing is where some file systems report a failed write, so a writer may ask.
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_ = -1;
};

}  // namespace vexa
