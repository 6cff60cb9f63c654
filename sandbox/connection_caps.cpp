#include "sandbox/connection_caps.h"

#include <utility>

namespace vexa::sandbox {

ConnectionCaps::Slot::Slot(Slot&& other) noexcept
    : caps_(std::exchange(other.caps_, nullptr)), address_(std::move(other.address_)) {}

ConnectionCaps::Slot& ConnectionCaps::Slot::operator=(Slot&& other) noexcept {
    if (this != &other) {
        Release();
        caps_ = std::exchange(other.caps_, nullptr);
        address_ = std::move(other.address_);
    }
    return *this;
}

ConnectionCaps::Slot::~Slot() { Release(); }

void ConnectionCaps::Slot::Release() {
    if (caps_) std::exchange(caps_, nullptr)->Leave(address_);
}

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
