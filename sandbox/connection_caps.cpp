#include "sandbox/connection_caps.h"

namespace vexa::sandbox {

std::optional<ConnectionCaps::Slot> ConnectionCaps::Admit(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (open_ >= limits_.overall) return std::nullopt;
    size_t& fromAddress = perAddress_[address];
    if (fromAddress >= limits_.perAddress) return std::nullopt;
    ++fromAddress;
    ++open_;
    return Slot(this, address);
}

size_t ConnectionCaps::Open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

void ConnectionCaps::Leave(const std::string& address) {
    std::lock_guard lock(mutex_);
    --open_;
    const auto found = perAddress_.find(address);
    if (--found->second == 0) perAddress_.erase(found);
}

}  // namespace vexa::sandbox
