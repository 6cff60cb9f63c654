// The web inbox: pages under /inbox/ and their JSON under /inbox/api/, over the same store as the
// service, with actions that go through the service's own operations.
#pragma once

#include <cstdint>

#include "sandbox/inbox_access.h"
#include "sandbox/service.h"
#include "sandbox/store.h"

namespace vexa::sandbox {

// Whether `target` is the inbox's: "/inbox" or anything under "/inbox/".
bool IsInboxTarget(std::string_view target);

class Inbox {
public:
    Inbox(Store& store, InboxAccess access) : store_(store), access_(std::move(access)) {}

    bool Enabled() const { return access_.Enabled(); }

    // Answers a request for an inbox target; safe to call from many threads at once.
    ServiceReply Handle(const ServiceRequest& request, int64_t now);

private:
    ServiceReply Admitted(const ServiceRequest& request, int64_t now);

    Store& store_;
    const InboxAccess access_;
};

}  // namespace vexa::sandbox
