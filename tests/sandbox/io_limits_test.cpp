// The limits the listeners share: connection slots per address and overall, and the body budget
// with its waiters.
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "sandbox/body_budget.h"
#include "sandbox/connection_caps.h"

namespace vexa::sandbox {
namespace {

TEST(ConnectionCapsTest, AdmitsUpToEachCapAndTakesASlotBackWhenItGoes) {
    ConnectionCaps caps({/*overall=*/4, /*perAddress=*/2});
    std::vector<ConnectionCaps::Slot> held;
    for (int i = 0; i < 2; ++i) held.push_back(*caps.Admit("10.0.0.1"));
    EXPECT_FALSE(caps.Admit("10.0.0.1")) << "over the per-address cap";
    held.push_back(*caps.Admit("10.0.0.2"));
    held.push_back(*caps.Admit("10.0.0.3"));
    EXPECT_EQ(caps.Open(), 4u);
    EXPECT_FALSE(caps.Admit("10.0.0.4")) << "over the overall cap";

    held.erase(held.begin());  // one of 10.0.0.1's
    EXPECT_EQ(caps.Open(), 3u);
    std::optional<ConnectionCaps::Slot> again = caps.Admit("10.0.0.1");
    ASSERT_TRUE(again);
    // A moved slot is given back once, by its new owner.
    ConnectionCaps::Slot moved = std::move(*again);
    again.reset();
    EXPECT_EQ(caps.Open(), 4u);
    held.clear();
    EXPECT_EQ(caps.Open(), 1u);
}

TEST(BodyBudgetTest, ASharePastTheBudgetWaitsUntilRoomIsGivenBack) {
    BodyBudget budget(100);
    int retries = 0;
    const auto count = [&] { ++retries; };

    BodyBudget::Attempt first = budget.Take(60, count);
    ASSERT_TRUE(first.lease);
    BodyBudget::Attempt second = budget.Take(60, count);
    EXPECT_FALSE(second.lease);
    BodyBudget::Attempt small = budget.Take(40, count);
    ASSERT_TRUE(small.lease) << "what fits is taken at once";
    EXPECT_EQ(budget.InUse(), 100u);

    small.lease.reset();
    EXPECT_EQ(retries, 1) << "the waiter tries again when room comes back";
    BodyBudget::Attempt still = budget.Take(60, count);
    EXPECT_FALSE(still.lease);
    first.lease.reset();
    EXPECT_EQ(retries, 2);
    ASSERT_TRUE(budget.Take(60, count).lease);
    EXPECT_EQ(budget.InUse(), 0u) << "a lease not kept is given back";
}

TEST(BodyBudgetTest, AWaiterThatGoesIsNotCalled) {
    BodyBudget budget(10);
    BodyBudget::Attempt holder = budget.Take(10, [] {});
    bool called = false;
    {
        BodyBudget::Attempt waiting = budget.Take(5, [&] { called = true; });
        EXPECT_FALSE(waiting.lease);
    }
    holder.lease.reset();
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace vexa::sandbox
