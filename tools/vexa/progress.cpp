#include "progress.h"

#include <chrono>
#include <unistd.h>

#include "table.h"

namespace vexa_cli {

namespace {

constexpr size_t kLongSend = 100;

}  // namespace

Progress::~Progress() {
    std::lock_guard lock(mutex_);
    if (width_ > 0) out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
}

bool Progress::ShownFor(size_t receivers) { return receivers >= kLongSend && isatty(STDERR_FILENO) == 1; }

void Progress::Show(const std::string& line) {
    if (!shown_) return;
    std::lock_guard lock(mutex_);
    const size_t width = DisplayWidth(line);
    out_ << '\r' << line << std::string(width_ > width ? width_ - width : 0, ' ') << std::flush;
    width_ = width;
}

void Progress::Step(const std::string& phase, size_t done, size_t total) {
    if (shown_ && (done % 100 == 0 || done == total))
        Show(phase + " " + std::to_string(done) + "/" + std::to_string(total));
}

void Progress::While(const std::string& label, const std::function<void()>& work) {
    if (!shown_) return work();
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    const auto start = std::chrono::steady_clock::now();
    std::thread ticker([&] {
        std::unique_lock lock(m);
        do {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
                    .count();
            Show(label + "... " + std::to_string(seconds) + " s");
        } while (!done.wait_for(lock, std::chrono::seconds(1), [&] { return finished; }));
    });
    const auto stop = [&] {
        {
            std::lock_guard lock(m);
            finished = true;
        }
        done.notify_one();
        ticker.join();
    };
    try {
        work();
    } catch (...) {
        stop();
        throw;
    }
    stop();
}

}  // namespace vexa_cli
