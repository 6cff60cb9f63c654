// What the store tells the web inbox: every account at a glance, transfers across months newest
// first, what a phone received, the next moment a delivery state moves, and the writes it counts.
#include <gtest/gtest.h>

#include "sandbox/rules.h"
#include "sandbox/store.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::kDay;
using test::kHour;
using test::kMarch5;

class StoreOverviewTest : public testing::Test {
protected:
    StoreOverviewTest() {
        store_.SetUpAccount({"kim", "pw", 100, "Kim", "02-000-0000"});
        store_.SetUpAccount({"lee", "pw", 100, "Lee", "02-000-0000"});
        kim_ = store_.FindAccount("kim")->id;
        lee_ = store_.FindAccount("lee")->id;
    }

    // A transfer written at `writeTime` (in `month`), its receivers going out at `sendTime` and
    // reported `delay` seconds later.
    TransferKey Add(int64_t account, const std::string& month, int64_t writeTime,
                    std::vector<std::string> phones, int64_t sendTime = 0, int64_t delay = 0) {
        NewTransfer t;
        t.month = month;
        t.day = 5;
        t.type = "sms";
        t.message = "hello";
        t.writeTime = writeTime;
        t.sendTime = sendTime ? sendTime : writeTime;
        t.reservation = sendTime != 0;
        t.cost = static_cast<int64_t>(phones.size());
        for (std::string& phone : phones) {
            t.receivers.push_back(PlanDelivery(std::move(phone), "", "", t.sendTime, writeTime, delay));
        }
        t.images = {"jpeg"};
        return *store_.AddTransfer(account, t).key;
    }

    std::vector<TransferKey> Recent(int64_t account, const std::string& month = "") {
        std::vector<TransferKey> keys;
        for (const Transfer& t : store_.ListRecentTransfers(account, {month, 1, 31, "", false}))
            keys.push_back(t.key);
        return keys;
    }

    test::ScratchDirectory dir_;
    Store store_{dir_.Path() / "sandbox.db"};
    int64_t kim_ = 0;
    int64_t lee_ = 0;
};

TEST_F(StoreOverviewTest, ListsTransfersOfEveryMonthNewestFirstWithoutDeletedOnes) {
    const TransferKey feb = Add(kim_, "202402", kMarch5 - 30 * kDay, {"010-1"});
    const TransferKey first = Add(kim_, "202403", kMarch5, {"010-1"});
    const TransferKey second =
        Add(kim_, "202403", kMarch5, {"010-1"});  // same second: the higher index first
    const TransferKey later = Add(kim_, "202403", kMarch5 + kHour, {"010-1"});
    const TransferKey gone = Add(kim_, "202403", kMarch5 + 2 * kHour, {"010-1"});
    Add(lee_, "202403", kMarch5 + kDay, {"010-1"});
    ASSERT_TRUE(store_.DeleteTransfer(kim_, gone, kMarch5));
    EXPECT_EQ(Recent(kim_), (std::vector<TransferKey>{later, second, first, feb}));
    EXPECT_EQ(Recent(kim_, "202402"), std::vector<TransferKey>{feb});
    // The month's own log keeps its index order.
    EXPECT_EQ(store_.ListTransfers(kim_, {"202403", 1, 31, "", false}).front().key, first);
}

TEST_F(StoreOverviewTest, SummarisesAccountsAndFindsWhatAPhoneReceivedByItsDigits) {
    const TransferKey older = Add(kim_, "202403", kMarch5, {"010-1234-5678", "010-9999-0000"});
    const TransferKey newer = Add(lee_, "202403", kMarch5 + 1, {"01012345678"});
    const TransferKey deleted = Add(kim_, "202403", kMarch5 + 2, {"010-1234-5678"});
    store_.DeleteTransfer(kim_, deleted, kMarch5);

    const std::vector<AccountSummary> summaries = store_.AccountSummaries();
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].account.userId, "kim");
    EXPECT_EQ(summaries[0].account.credit, 100 - 3);
    EXPECT_EQ(summaries[0].transfers, 1);
    EXPECT_EQ(summaries[0].receivers, 2);
    EXPECT_EQ(summaries[1].transfers, 1);

    const std::vector<ReceivedMessage> found = store_.FindReceived("01012345678", -1);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].userId, "lee");
    EXPECT_EQ(found[0].transfer.key, newer);
    EXPECT_EQ(found[0].receiver.phone, "01012345678");
    EXPECT_EQ(found[0].transfer.imageCount, 1);
    EXPECT_EQ(found[1].userId, "kim");
    EXPECT_EQ(found[1].transfer.key, older);
    EXPECT_EQ(store_.FindReceived("01012345678", 1).size(), 1u);
    EXPECT_EQ(store_.FindReceived("", -1).size(), 3u);
    EXPECT_TRUE(store_.FindReceived("0101234567", -1).empty());  // the whole number, not a part
}

TEST_F(StoreOverviewTest, TheNextStateChangeIsTheEarliestSendOrReportStillAhead) {
    EXPECT_EQ(store_.NextStateChange(kMarch5), std::nullopt);
    Add(kim_, "202403", kMarch5, {"010-1"}, 0, 60);  // reported at +60
    Add(kim_, "202403", kMarch5, {"010-2"}, kMarch5 + kHour, 60);
    const TransferKey cancelled = Add(lee_, "202403", kMarch5, {"010-3"}, kMarch5 + 30, 0);
    store_.CancelTransfer(lee_, cancelled, kMarch5, [](const Transfer&) { return true; });
    const TransferKey deleted = Add(lee_, "202403", kMarch5, {"010-4"}, kMarch5 + 40, 0);
    store_.DeleteTransfer(lee_, deleted, kMarch5);

    EXPECT_EQ(store_.NextStateChange(kMarch5), kMarch5 + 60);
    EXPECT_EQ(store_.NextStateChange(kMarch5 + 60), kMarch5 + kHour);
    EXPECT_EQ(store_.NextStateChange(kMarch5 + kHour), kMarch5 + kHour + 60);
    EXPECT_EQ(store_.NextStateChange(kMarch5 + kHour + 60), std::nullopt);
}

TEST_F(StoreOverviewTest, CreditIsSetAndTransfersClearedWithTheirReceiversAndImages) {
    const TransferKey key = Add(kim_, "202403", kMarch5, {"010-1", "010-2"});
    Add(kim_, "202403", kMarch5, {"010-1"});
    Add(lee_, "202403", kMarch5, {"010-1"});
    ASSERT_TRUE(store_.DeleteTransfer(kim_, key, kMarch5));

    EXPECT_TRUE(store_.SetCredit(kim_, 7));
    EXPECT_EQ(store_.FindAccount("kim")->credit, 7);
    EXPECT_FALSE(store_.SetCredit(9999, 7));

    EXPECT_EQ(store_.ClearTransfers(kim_), 2);  // the deleted one too
    EXPECT_FALSE(store_.FindTransfer(kim_, key));
    EXPECT_FALSE(store_.Image(kim_, key, 1));
    EXPECT_TRUE(Recent(kim_).empty());
    EXPECT_EQ(store_.FindReceived("0101", -1).size(), 1u);  // lee's stays
    EXPECT_EQ(Recent(lee_).size(), 1u);
    // Nothing is left behind the transfers.
    Database db(dir_.Path() / "sandbox.db");
    Statement orphans(
        db,
        "SELECT (SELECT COUNT(*) FROM receivers WHERE transfer_id NOT IN (SELECT id FROM transfers)) + "
        "(SELECT COUNT(*) FROM images WHERE transfer_id NOT IN (SELECT id FROM transfers))");
    ASSERT_TRUE(orphans.Step());
    EXPECT_EQ(orphans.Int(0), 0);
    // The account and its password stay.
    EXPECT_TRUE(store_.FindLogin("kim"));
}

TEST_F(StoreOverviewTest, EveryWriteCountsAndReadsOrRefusedWritesDoNot) {
    int64_t seen = store_.Version();
    const auto wrote = [&](const char* what) {
        EXPECT_GT(store_.Version(), seen) << what;
        seen = store_.Version();
    };
    const auto unchanged = [&](const char* what) { EXPECT_EQ(store_.Version(), seen) << what; };

    const TransferKey key = Add(kim_, "202403", kMarch5, {"010-1"}, kMarch5 + kHour);
    wrote("send");
    NewTransfer tooDear;
    tooDear.month = "202403";
    tooDear.cost = 1000;
    store_.AddTransfer(kim_, tooDear);
    unchanged("a send the credit does not cover");
    store_.ListRecentTransfers(kim_, {});
    store_.AccountSummaries();
    store_.NextStateChange(kMarch5);
    unchanged("reads");
    store_.CancelTransfer(kim_, key, kMarch5, [](const Transfer&) { return false; });
    unchanged("a refused cancel");
    store_.CancelTransfer(kim_, key, kMarch5, [](const Transfer&) { return true; });
    wrote("cancel");
    store_.DeleteTransfer(kim_, key, kMarch5);
    wrote("delete");
    store_.DeleteTransfer(kim_, key, kMarch5);
    unchanged("a delete of a deleted transfer");
    store_.SetCredit(kim_, 50);
    wrote("credit");
    store_.ClearTransfers(kim_);
    wrote("clear");
    store_.SetUpAccount({"kim", "new", 0, "", ""});
    wrote("account set-up");
}

}  // namespace
}  // namespace vexa::sandbox
