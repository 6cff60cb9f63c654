// Reading the receivers a host hands to a send, whichever backend sends them.
#pragma once

#include <string>
#include <vector>

#include "vexa/VexaComponent.h"

namespace vexa {

struct HostReceiver {
    std::string phone;    // local text
    std::string message;  // local text
    std::string name;     // local text; empty when the receiver has no IReceiver2
    VEXA_SENDMODE mode = VEXA_DIRECT;
    DATE sendTime = 0.0;
};

// One record per entry that is a Receiver, in collection order from ArrayBase; an entry that
// cannot be fetched or is something else is skipped.
std::vector<HostReceiver> ReadHostReceivers(IReceivers* receivers);

}  // namespace vexa
