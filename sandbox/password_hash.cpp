#include "sandbox/password_hash.h"

#include <atomic>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <stdexcept>

namespace vexa::sandbox {

namespace {

constexpr size_t kSaltBytes = 16;
constexpr size_t kDigestBytes = 32;

std::atomic<int64_t> iterationsRun{0};

std::string RandomBytes(size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
        throw std::runtime_error("password hash: no random bytes");
    }
    return bytes;
}

std::string Derive(std::string_view password, std::string_view salt, int iterations) {
    std::string digest(kDigestBytes, '\0');
    if (iterations > 0) iterationsRun += iterations;
    if (iterations <= 0 ||
        PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(digest.size()),
                          reinterpret_cast<unsigned char*>(digest.data())) != 1) {
        throw std::runtime_error("password hash: PBKDF2 failed");
    }
    return digest;
}

}  // namespace

PasswordHash HashPassword(std::string_view password, int iterations) {
    PasswordHash hash;
    hash.salt = RandomBytes(kSaltBytes);
    hash.iterations = iterations;
    hash.digest = Derive(password, hash.salt, iterations);
    return hash;
}

bool PasswordMatches(const PasswordHash& hash, std::string_view password) {
    if (hash.digest.size() != kDigestBytes || hash.iterations <= 0) return false;
    const std::string digest = Derive(password, hash.salt, hash.iterations);
    return CRYPTO_memcmp(digest.data(), hash.digest.data(), kDigestBytes) == 0;
}

const PasswordHash& DummyPasswordHash() {
    // A random digest rather than one derived from some password: checking against it costs the
    // same, and making it costs nothing.
    static const PasswordHash dummy{RandomBytes(kSaltBytes), RandomBytes(kDigestBytes), kPasswordIterations};
    return dummy;
}

int64_t PasswordIterationsRun() { return iterationsRun; }

}  // namespace vexa::sandbox
