// How many connections the listeners hold at once, overall and per client address, counted across
// HTTP, HTTPS and the legacy protocol: a client that opens connections without finishing requests
// fills its own share, not the sandbox.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "sandbox/give_back.h"

namespace vexa::sandbox {

struct ConnectionLimits {
    size_t overall = 1024;
    size_t perAddress = 128;
};

class ConnectionCaps {
    void Leave(const std::string& address);

public:
    // One admitted connection's place, given back when the slot goes.
    using Slot = GiveBack<ConnectionCaps, std::string, &ConnectionCaps::Leave>;

    explicit ConnectionCaps(ConnectionLimits limits) : limits_(limits) {}
    ConnectionCaps(const ConnectionCaps&) = delete;
    ConnectionCaps& operator=(const ConnectionCaps&) = delete;

    // A slot for a connection from `address`, or nullopt when either cap is reached.
    std::optional<Slot> Admit(const std::string& address);
    size_t Open() const;

private:
    const ConnectionLimits limits_;
    mutable std::mutex mutex_;
    size_t open_ = 0;
    std::unordered_map<std::string, size_t> perAddress_;
};

}  // namespace vexa::sandbox
