#include "sandbox/authenticator.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <stdexcept>
#include <strings.h>

#include "sandbox/base64.h"

namespace vexa::sandbox {

namespace {

constexpr size_t kKeyBytes = 32;

std::string KeyedDigest(const std::string& key, const PasswordHash& hash, std::string_view password) {
    const std::string message = hash.salt + hash.digest + std::string(password);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &size)) {
        throw std::runtime_error("authenticator: HMAC failed");
    }
    return std::string(reinterpret_cast<const char*>(digest), size);
}

}  // namespace

std::optional<BasicCredentials> ParseBasicCredentials(std::string_view value) {
    constexpr std::string_view kScheme = "basic";
    if (value.size() <= kScheme.size() || strncasecmp(value.data(), kScheme.data(), kScheme.size()) != 0 ||
        value[kScheme.size()] != ' ') {
        return std::nullopt;
    }
    value.remove_prefix(kScheme.size());
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    const std::optional<std::string> decoded = DecodeBase64(value);
    if (!decoded) return std::nullopt;
    const size_t colon = decoded->find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

Authenticator::Authenticator(Store& store, std::string realm) : store_(store), realm_(std::move(realm)) {
    key_.resize(kKeyBytes);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(key_.data()), static_cast<int>(kKeyBytes)) != 1) {
        throw std::runtime_error("authenticator: no random bytes");
    }
}

std::optional<Account> Authenticator::Authenticate(std::string_view authorization, std::string_view realm) {
    if (realm != realm_) return std::nullopt;
    const std::optional<BasicCredentials> credentials = ParseBasicCredentials(authorization);
    if (!credentials) return std::nullopt;
    return Verify(credentials->userId, credentials->password);
}

std::optional<Account> Authenticator::Verify(const std::string& userId, std::string_view password) {
    std::optional<Store::Login> login = store_.FindLogin(userId);
    if (!login) {
        // The work of a wrong password, so that a refusal takes as long whether or not the user
        // ID has an account.
        PasswordMatches(DummyPasswordHash(), password);
        return std::nullopt;
    }
    if (!PasswordAccepted(userId, login->password, password)) return std::nullopt;
    return std::move(login->account);
}

bool Authenticator::PasswordAccepted(const std::string& userId, const PasswordHash& hash,
                                     std::string_view password) {
    const std::string digest = KeyedDigest(key_, hash, password);
    {
        std::lock_guard lock(mutex_);
        const auto found = accepted_.find(userId);
        if (found != accepted_.end() && found->second.size() == digest.size() &&
            CRYPTO_memcmp(found->second.data(), digest.data(), digest.size()) == 0) {
            return true;
        }
    }
    if (!PasswordMatches(hash, password)) return false;
    std::lock_guard lock(mutex_);
    accepted_[userId] = digest;
    return true;
}

}  // namespace vexa::sandbox
