// What the listeners run on: one event loop on a few threads for every socket, a bounded pool of
// workers for the service's answers (they do SQLite work with fsync), and the connection caps and
// body budget that HTTP, HTTPS and the legacy protocol share. A slow or silent client costs a
// connection slot, never a thread.
#pragma once

#include <cstddef>
#include <memory>

#include "sandbox/body_budget.h"
#include "sandbox/connection_caps.h"

namespace boost::asio {
class io_context;
class thread_pool;
}  // namespace boost::asio

namespace vexa::sandbox {

struct RuntimeOptions {
    size_t ioThreads = 2;
    size_t workers = 8;
    ConnectionLimits limits;
    size_t bodyBudget = size_t{256} << 20;
};

class IoRuntime {
public:
    // Starts every thread; none of them is ended by SIGPIPE.
    explicit IoRuntime(const RuntimeOptions& options);
    // Stops as Stop does.
    ~IoRuntime();
    IoRuntime(const IoRuntime&) = delete;
    IoRuntime& operator=(const IoRuntime&) = delete;

    boost::asio::io_context& Context();
    boost::asio::thread_pool& Workers();
    ConnectionCaps& Caps() { return caps_; }
    BodyBudget& Budget() { return budget_; }

    // Lets the work handed to the workers finish, then stops the event loop and joins every
    // thread. Handlers still queued are dropped with the runtime.
    void Stop();

private:
    struct Threads;
    // The caps and the budget outlive the event loop, whose dropped handlers give slots and
    // shares back.
    ConnectionCaps caps_;
    BodyBudget budget_;
    std::unique_ptr<Threads> threads_;
};

}  // namespace vexa::sandbox
