// What a login costs: the password hashing is the slow part, so a refusal must hash as much for a
// user ID without an account as for a wrong password, or its time tells who has an account. The
// work is counted in PBKDF2 iterations rather than timed (bench/ times it).
#include "sandbox/authenticator.h"

#include <gtest/gtest.h>

#include "sandbox/password_hash.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

class AuthenticatorTest : public testing::Test {
protected:
    AuthenticatorTest() { store_.SetUpAccount({"kim", "secret", 10, "kim", "02-000-0000"}); }

    // The iterations one Verify runs, and whether it let the caller in.
    std::pair<int64_t, bool> Work(const std::string& user, const std::string& password) {
        const int64_t before = PasswordIterationsRun();
        const bool accepted = authenticator_.Verify(user, password).has_value();
        return {PasswordIterationsRun() - before, accepted};
    }

    test::ScratchDirectory dir_;
    Store store_{dir_.Path() / "sandbox.db"};
    Authenticator authenticator_{store_, "realm.example"};
};

TEST_F(AuthenticatorTest, AnUnknownUserCostsTheWorkOfAWrongPassword) {
    const std::pair<int64_t, bool> full{kPasswordIterations, false};
    // Over and over: neither refusal is remembered.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Work("kim", "wrong"), full) << round;
        EXPECT_EQ(Work("park", "wrong"), full) << round;
        EXPECT_EQ(Work("park", "secret"), full) << round;
        EXPECT_EQ(Work("", ""), full) << round;
    }
    // The right password is hashed once, then remembered.
    EXPECT_EQ(Work("kim", "secret"), (std::pair<int64_t, bool>{kPasswordIterations, true}));
    EXPECT_EQ(Work("kim", "secret"), (std::pair<int64_t, bool>{0, true}));
    EXPECT_EQ(Work("kim", "wrong"), full);
    EXPECT_EQ(Work("park", "wrong"), full);
}

TEST(DummyPasswordHashTest, HasTheShapeAndStrengthOfARealOneAndMatchesNothing) {
    const PasswordHash real = HashPassword("secret");
    const PasswordHash& dummy = DummyPasswordHash();
    EXPECT_EQ(&dummy, &DummyPasswordHash());  // made once per process
    EXPECT_EQ(dummy.iterations, real.iterations);
    EXPECT_EQ(dummy.salt.size(), real.salt.size());
    EXPECT_EQ(dummy.digest.size(), real.digest.size());
    for (const char* password : {"", "secret", "password"}) EXPECT_FALSE(PasswordMatches(dummy, password));
}

}  // namespace
}  // namespace vexa::sandbox
