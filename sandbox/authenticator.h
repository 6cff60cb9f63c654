// Who is calling: Basic credentials checked against the store, in the service's realm.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "sandbox/store.h"

namespace vexa::sandbox {

class Authenticator {
public:
    Authenticator(Store& store, std::string realm);

    // The account the Authorization value names, when its password matches and the Auth-Realm
    // value is the service's realm; nullopt otherwise (also when either is missing or malformed).
    std::optional<Account> Authenticate(std::string_view authorization, std::string_view realm);
    // The account of that user ID when the password matches; nullopt otherwise. For callers that
    // carry credentials another way than a Basic header.
    std::optional<Account> Verify(const std::string& userId, std::string_view password);

    const std::string& Realm() const { return realm_; }

private:
    bool PasswordAccepted(const std::string& userId, const PasswordHash& hash, std::string_view password);

    Store& store_;
    const std::string realm_;
    // A password hash is slow on purpose; one that matched is remembered for this process only,
    // as a keyed digest of the stored hash and the password, so that every request of a client
    // does not pay for it again and a changed password is not taken for the old one.
    std::string key_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::string> accepted_;
};

// The user ID and password of a "Basic" Authorization value.
struct BasicCredentials {
    std::string userId;
    std::string password;
};
std::optional<BasicCredentials> ParseBasicCredentials(std::string_view authorization);

}  // namespace vexa::sandbox
