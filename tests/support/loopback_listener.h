// What the scripted servers listen with: a TCP socket on an ephemeral loopback port, with a small
// receive buffer (a client whose request is not read soon blocks in send), and an event that tells
// the server's thread to stop.
#pragma once

#include <cstdint>

#include "platform/unique_fd.h"

namespace vexa::test {

struct LoopbackListener {
    UniqueFd listener;
    UniqueFd stop;  // an eventfd: written once to stop
    uint16_t port = 0;
};

// On the given port (0: an ephemeral one). Throws std::system_error when it cannot listen.
LoopbackListener ListenOnLoopback(uint16_t port = 0);

}  // namespace vexa::test
