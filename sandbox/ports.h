// Which port each listener takes, and the ports a sandbox listens on.
#pragma once

#include <stdexcept>

namespace vexa::sandbox {

// A listener's port: `port` itself (0: a free one), or, with `elseFree`, a free one when another
// process already listens on `port`.
struct PortChoice {
    int port = 0;
    bool elseFree = false;
};

// Listens through `listen(port)`, which throws std::runtime_error when it cannot, on the chosen
// port, or on a free one when that fails and the choice allows it.
template <class Listen>
auto ListenOn(const PortChoice& choice, Listen listen) {
    if (!choice.elseFree) return listen(choice.port);
    try {
        return listen(choice.port);
    } catch (const std::runtime_error&) {
        return listen(0);
    }
}

// The port of each listener; 0 for one that does not run (or, recorded, never ran).
struct ListeningPorts {
    int http = 0;
    int https = 0;
    int legacy = 0;
};

}  // namespace vexa::sandbox
