#include "sandbox/io_runtime.h"

#include <algorithm>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <vector>

namespace vexa::sandbox {

namespace net = boost::asio;

namespace {

// Blocks SIGPIPE in the calling thread while it lives, so that the threads it starts inherit the
// mask: a client that hangs up while it is answered must not end the process.
class PipeSignalBlocked {
public:
    PipeSignalBlocked() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &saved_);
    }
    ~PipeSignalBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    PipeSignalBlocked(const PipeSignalBlocked&) = delete;
    PipeSignalBlocked& operator=(const PipeSignalBlocked&) = delete;

private:
    sigset_t saved_;
};

}  // namespace

struct IoRuntime::Threads {
    explicit Threads(const RuntimeOptions& options)
        : context(static_cast<int>(std::max<size_t>(1, options.ioThreads))),
          work(context.get_executor()),
          workers(std::max<size_t>(1, options.workers)) {
        for (size_t i = 0; i < std::max<size_t>(1, options.ioThreads); ++i) {
            loop.emplace_back([this] { context.run(); });
        }
    }

    void Stop() {
        if (stopped) return;
        stopped = true;
        workers.join();
        work.reset();
        context.stop();
        for (std::thread& thread : loop) thread.join();
    }

    net::io_context context;
    net::executor_work_guard<net::io_context::executor_type> work;
    net::thread_pool workers;
    std::vector<std::thread> loop;
    bool stopped = false;
};

IoRuntime::IoRuntime(const RuntimeOptions& options) : caps_(options.limits), budget_(options.bodyBudget) {
    const PipeSignalBlocked blocked;
    threads_ = std::make_unique<Threads>(options);
}

IoRuntime::~IoRuntime() { Stop(); }

net::io_context& IoRuntime::Context() { return threads_->context; }
net::thread_pool& IoRuntime::Workers() { return threads_->workers; }

void IoRuntime::Stop() { threads_->Stop(); }

}  // namespace vexa::sandbox
