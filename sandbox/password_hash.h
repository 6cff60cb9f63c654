// Account passwords are kept as salted PBKDF2-HMAC-SHA256 digests, never in clear.
#pragma once

#include <cstdint>
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

// A hash of the same strength as HashPassword's (salt, digest and iterations alike) that no
// password matches, made once per process: a login with an unknown user ID is checked against it,
// so that it costs what a wrong password costs and its time does not tell who has an account.
const PasswordHash& DummyPasswordHash();

// The PBKDF2 iterations this process has run so far, over every hash made and checked: what a
// test compares to see that two refusals cost the same work.
int64_t PasswordIterationsRun();

}  // namespace vexa::sandbox
