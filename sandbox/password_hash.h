// Account passwords are kept as salted PBKDF2-HMAC-SHA256 digests, never in clear.
#pragma once

#include <string>
#include <string_view>

namespace vexa::sandbox {

struct PasswordHash {
    std::string salt;    // random bytes
    std::string digest;  // PBKDF2-HMAC-SHA256 of the password with the salt
    int iterations = 0;
};

inline constexpr int kPasswordIterations = 100000;

// A fresh random salt each time: the same password never hashes alike twice.
PasswordHash HashPassword(std::string_view password, int iterations = kPasswordIterations);

// Compares in constant time.
bool PasswordMatches(const PasswordHash& hash, std::string_view password);

}  // namespace vexa::sandbox
