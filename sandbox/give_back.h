// A share taken from an owner (a connection slot, room in the body budget, a place among its
// waiters), given back once, when the handle goes. Handles move; they are never copied.
#pragma once

#include <utility>

namespace vexa::sandbox {

template <class Owner, class Token, void (Owner::*Return)(const Token&)>
class GiveBack {
public:
    GiveBack() = default;
    GiveBack(Owner* owner, Token token) : owner_(owner), token_(std::move(token)) {}
    GiveBack(GiveBack&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), token_(std::move(other.token_)) {}
    GiveBack& operator=(GiveBack&& other) noexcept {
        if (this != &other) {
            Reset();
            owner_ = std::exchange(other.owner_, nullptr);
            token_ = std::move(other.token_);
        }
        return *this;
    }
    GiveBack(const GiveBack&) = delete;
    GiveBack& operator=(const GiveBack&) = delete;
    ~GiveBack() { Reset(); }

    // Gives the share back now.
    void Reset() {
        if (owner_) (std::exchange(owner_, nullptr)->*Return)(token_);
    }

private:
    Owner* owner_ = nullptr;
    Token token_{};
};

}  // namespace vexa::sandbox
