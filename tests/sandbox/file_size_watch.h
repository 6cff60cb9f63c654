// The largest size a file reaches while it is watched (polled every millisecond on a thread of
// its own), for the write-ahead log under load.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <thread>

namespace vexa::sandbox::test {

class FileSizeWatch {
public:
    explicit FileSizeWatch(std::filesystem::path file)
        : file_(std::move(file)), thread_([this] {
              while (!stop_) {
                  std::error_code missing;
                  const uintmax_t size = std::filesystem::file_size(file_, missing);
                  if (!missing) largest_ = std::max<uintmax_t>(largest_, size);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~FileSizeWatch() { Largest(); }
    FileSizeWatch(const FileSizeWatch&) = delete;
    FileSizeWatch& operator=(const FileSizeWatch&) = delete;

    // Stops watching; the largest size seen (0 when the file never existed).
    uintmax_t Largest() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return largest_;
    }

private:
    const std::filesystem::path file_;
    std::atomic<bool> stop_{false};
    std::atomic<uintmax_t> largest_{0};
    std::thread thread_;
};

}  // namespace vexa::sandbox::test
