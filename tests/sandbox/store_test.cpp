// The store on a real SQLite file: schema, accounts and passwords, transfers written whole or
// not at all, distinct indexes under concurrent sends, credit and refunds.
#include "sandbox/store.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>

#include "sandbox/password_hash.h"
#include "sandbox/rules.h"
#include "sandbox/schema.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::ScratchDirectory;

AccountSetup NewAccount(const std::string& user, const std::string& password, int64_t credit) {
    return {user, password, credit, user + " name", "02-000-0000"};
}

NewTransfer SmsTo(int receivers, const std::string& month = "202403") {
    NewTransfer t;
    t.month = month;
    t.day = 5;
    t.type = "sms";
    t.message = "hello";
    t.sendTime = t.writeTime = test::kMarch5;
    t.cost = receivers * CostPerReceiver("sms");
    for (int i = 0; i < receivers; ++i) {
        t.receivers.push_back(
            PlanDelivery("010-0000-000" + std::to_string(i), "", "hello", t.sendTime, t.sendTime, 0));
    }
    return t;
}

class StoreTest : public testing::Test {
protected:
    std::filesystem::path File() const { return dir_.Path() / "sandbox.db"; }

    ScratchDirectory dir_;
};

TEST_F(StoreTest, CreatesTheSchemaInWalModeAndKeepsEverythingAcrossReopening) {
    TransferKey key;
    {
        Store store(File());
        EXPECT_EQ(store.SchemaVersion(), CurrentSchemaVersion());
        store.SetUpAccount(NewAccount("kim", "pw", 100));
        NewTransfer t = SmsTo(2);
        t.images = {std::string("\xFF\xD8\xFF\x00jpeg", 8)};
        key = *store.AddTransfer(store.FindAccount("kim")->id, t).key;
    }
    Database db(File());
    Statement mode(db, "PRAGMA journal_mode");
    ASSERT_TRUE(mode.Step());
    EXPECT_EQ(mode.Text(0), "wal");

    Store reopened(File());
    EXPECT_EQ(reopened.SchemaVersion(), CurrentSchemaVersion());
    const std::optional<Account> kim = reopened.FindAccount("kim");
    ASSERT_TRUE(kim);
    EXPECT_EQ(kim->credit, 98);
    EXPECT_EQ(kim->name, "kim name");
    EXPECT_EQ(kim->returnPhones, std::vector<std::string>{"02-000-0000"});
    const std::optional<Transfer> transfer = reopened.FindTransfer(kim->id, key);
    ASSERT_TRUE(transfer);
    EXPECT_EQ(transfer->receivers.size(), 2u);
    EXPECT_EQ(transfer->imageCount, 1);
    EXPECT_EQ(reopened.Image(kim->id, key, 1), std::string("\xFF\xD8\xFF\x00jpeg", 8));
    EXPECT_FALSE(reopened.Image(kim->id, key, 2));
}

TEST_F(StoreTest, RefusesADatabaseOfANewerSandboxOrOfSomethingElse) {
    { Store store(File()); }
    {
        Database db(File());
        db.Execute("UPDATE schema_version SET version = 99");
    }
    EXPECT_THROW(Store{File()}, SqliteError);

    const std::filesystem::path other = dir_.Path() / "other.db";
    {
        Database db(other);
        db.Execute("CREATE TABLE notes (text TEXT)");
    }
    EXPECT_THROW(Store{other}, SqliteError);
}

TEST_F(StoreTest, KeepsPasswordsOnlyAsSaltedHashes) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "same-password", 10));
    store.SetUpAccount(NewAccount("lee", "same-password", 10));
    const PasswordHash kim = store.FindLogin("kim")->password;
    const PasswordHash lee = store.FindLogin("lee")->password;
    EXPECT_TRUE(PasswordMatches(kim, "same-password"));
    EXPECT_FALSE(PasswordMatches(kim, "same-passwore"));
    EXPECT_FALSE(PasswordMatches(kim, ""));
    EXPECT_NE(kim.salt, lee.salt);
    EXPECT_NE(kim.digest, lee.digest);
    EXPECT_FALSE(store.FindLogin("park"));

    std::ifstream file(File(), std::ios::binary);
    std::ifstream wal(File().string() + "-wal", std::ios::binary);
    const std::string bytes = std::string(std::istreambuf_iterator<char>(file), {}) +
                              std::string(std::istreambuf_iterator<char>(wal), {});
    EXPECT_EQ(bytes.find("same-password"), std::string::npos);
}

TEST_F(StoreTest, ALoginIsTheAccountAsFoundWithItsPassword) {
    Store store(File());
    store.SetUpAccount(NewAccount("lee", "other", 3));
    store.SetUpAccount(NewAccount("kim", "secret", 42));
    const Account account = *store.FindAccount("kim");
    const Store::Login login = *store.FindLogin("kim");
    EXPECT_EQ(login.account.id, account.id);
    EXPECT_EQ(login.account.userId, "kim");
    EXPECT_EQ(login.account.name, "kim name");
    EXPECT_EQ(login.account.returnPhones, std::vector<std::string>{"02-000-0000"});
    EXPECT_EQ(login.account.credit, 42);
    EXPECT_TRUE(PasswordMatches(login.password, "secret"));
}

TEST_F(StoreTest, SettingUpAnExistingAccountChangesOnlyItsPassword) {
    Store store(File());
    EXPECT_EQ(store.SetUpAccount(NewAccount("kim", "old", 100)), Store::AccountChange::kCreated);
    const int64_t id = store.FindAccount("kim")->id;
    const TransferKey key = *store.AddTransfer(id, SmsTo(3)).key;

    EXPECT_EQ(store.SetUpAccount(NewAccount("kim", "new", 5000)), Store::AccountChange::kPasswordSet);
    EXPECT_TRUE(PasswordMatches(store.FindLogin("kim")->password, "new"));
    EXPECT_FALSE(PasswordMatches(store.FindLogin("kim")->password, "old"));
    EXPECT_EQ(store.FindAccount("kim")->credit, 97);
    EXPECT_TRUE(store.FindTransfer(id, key));
}

TEST_F(StoreTest, IndexesCountFromOnePerAccountAndMonth) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 100));
    store.SetUpAccount(NewAccount("lee", "pw", 100));
    const int64_t kim = store.FindAccount("kim")->id;
    const int64_t lee = store.FindAccount("lee")->id;
    EXPECT_EQ(store.AddTransfer(kim, SmsTo(1, "202403")).key, (TransferKey{"202403", 1}));
    EXPECT_EQ(store.AddTransfer(kim, SmsTo(1, "202403")).key, (TransferKey{"202403", 2}));
    EXPECT_EQ(store.AddTransfer(kim, SmsTo(1, "202404")).key, (TransferKey{"202404", 1}));
    EXPECT_EQ(store.AddTransfer(lee, SmsTo(1, "202403")).key, (TransferKey{"202403", 1}));
    // Another account's transfer is not this one's.
    EXPECT_FALSE(store.FindTransfer(lee, {"202404", 1}));
    EXPECT_FALSE(store.Image(lee, {"202403", 2}, 1));
}

TEST_F(StoreTest, ABatchTheCreditDoesNotCoverStoresNothing) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 2));
    const int64_t id = store.FindAccount("kim")->id;
    const Store::AddOutcome refused = store.AddTransfer(id, SmsTo(3));
    EXPECT_FALSE(refused.key);
    EXPECT_EQ(refused.credit, 2);
    EXPECT_EQ(store.FindAccount("kim")->credit, 2);
    EXPECT_TRUE(store.ListTransfers(id, {"202403"}).empty());
    // Exactly covered is enough, and the next index is still the first.
    const Store::AddOutcome covered = store.AddTransfer(id, SmsTo(2));
    EXPECT_EQ(covered.key, (TransferKey{"202403", 1}));
    EXPECT_EQ(covered.credit, 0);
    EXPECT_EQ(store.FindAccount("kim")->credit, 0);
}

TEST_F(StoreTest, AFailureWhileWritingReceiversLeavesNeitherTransferNorDebit) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 100));
    const int64_t id = store.FindAccount("kim")->id;
    {
        // Another connection makes the third receiver's row fail.
        Database db(File());
        db.Execute(
            "CREATE TRIGGER third_fails BEFORE INSERT ON receivers WHEN NEW.position = 3 "
            "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
    }
    EXPECT_THROW(store.AddTransfer(id, SmsTo(3)), SqliteError);
    EXPECT_EQ(store.FindAccount("kim")->credit, 100);
    EXPECT_TRUE(store.ListTransfers(id, {"202403"}).empty());
    EXPECT_EQ(store.AddTransfer(id, SmsTo(2)).key, (TransferKey{"202403", 1}));
}

TEST_F(StoreTest, ConcurrentSendsGetDistinctIndexesAndAreAllCharged) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 1000));
    const int64_t id = store.FindAccount("kim")->id;
    constexpr int kThreads = 4;
    constexpr int kSendsPerThread = 25;
    std::vector<std::vector<TransferKey>> keys(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kSendsPerThread; ++i)
                    keys[t].push_back(*store.AddTransfer(id, SmsTo(2)).key);
            });
        }
    }
    std::set<int64_t> indexes;
    for (const auto& perThread : keys) {
        for (const TransferKey& key : perThread) indexes.insert(key.index);
    }
    constexpr int kSends = kThreads * kSendsPerThread;
    EXPECT_EQ(indexes.size(), static_cast<size_t>(kSends));
    EXPECT_EQ(*indexes.begin(), 1);
    EXPECT_EQ(*indexes.rbegin(), kSends);
    EXPECT_EQ(store.ListTransfers(id, {"202403"}).size(), static_cast<size_t>(kSends));
    EXPECT_EQ(store.FindAccount("kim")->credit, 1000 - kSends * 2);
}

TEST_F(StoreTest, CancellingRefundsOnceAndOnlyWhenAllowed) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 100));
    const int64_t id = store.FindAccount("kim")->id;
    NewTransfer t = SmsTo(3);
    t.type = "lms";
    t.cost = 9;
    const TransferKey key = *store.AddTransfer(id, t).key;
    EXPECT_EQ(store.FindAccount("kim")->credit, 91);

    auto refuse = [](const Transfer&) { return false; };
    Store::CancelOutcome refused = store.CancelTransfer(id, key, test::kMarch5, refuse);
    EXPECT_TRUE(refused.transfer);
    EXPECT_FALSE(refused.cancelled);
    EXPECT_EQ(store.FindAccount("kim")->credit, 91);

    auto allowUnlessCancelled = [](const Transfer& transfer) { return !transfer.cancelledTime; };
    Store::CancelOutcome cancelled = store.CancelTransfer(id, key, test::kMarch5, allowUnlessCancelled);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(store.FindAccount("kim")->credit, 100);
    const Transfer after = *store.FindTransfer(id, key);
    EXPECT_EQ(after.cancelledTime, test::kMarch5);
    for (const Receiver& r : after.receivers) EXPECT_EQ(r.result, kResultCancelled);

    EXPECT_FALSE(store.CancelTransfer(id, key, test::kMarch5, allowUnlessCancelled).cancelled);
    EXPECT_EQ(store.FindAccount("kim")->credit, 100);
    EXPECT_FALSE(store.CancelTransfer(id, {"202403", 9}, test::kMarch5, allowUnlessCancelled).transfer);
}

TEST_F(StoreTest, DeletingTakesATransferOutOfTheLogOnce) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 100));
    const int64_t id = store.FindAccount("kim")->id;
    const TransferKey first = *store.AddTransfer(id, SmsTo(1)).key;
    const TransferKey second = *store.AddTransfer(id, SmsTo(1)).key;
    EXPECT_TRUE(store.DeleteTransfer(id, first, test::kMarch5));
    EXPECT_FALSE(store.DeleteTransfer(id, first, test::kMarch5));
    EXPECT_FALSE(store.DeleteTransfer(id, {"202403", 7}, test::kMarch5));
    const std::vector<Transfer> listed = store.ListTransfers(id, {"202403"});
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].key, second);
    // Still there to be read, marked as deleted.
    EXPECT_EQ(store.FindTransfer(id, first)->deletedTime, test::kMarch5);
}

// Every operation parses its SQL on its first call only: a second round of all of them, with
// bigger batches, prepares nothing more on the connection.
TEST_F(StoreTest, EachOperationPreparesItsStatementsOnceAndReusesThem) {
    Store store(File());
    auto everyOperation = [&](int receivers, int images) {
        // Creates the account the first time, sets its password after.
        store.SetUpAccount(NewAccount("kim", "pw", 100000));
        ASSERT_EQ(store.SetUpAccount(NewAccount("kim", "pw", 100000)), Store::AccountChange::kPasswordSet);
        const int64_t id = store.FindAccount("kim")->id;
        ASSERT_TRUE(store.FindLogin("kim"));
        ASSERT_EQ(store.UserIds().size(), 1u);
        NewTransfer t = SmsTo(receivers);
        t.images.assign(static_cast<size_t>(images), "jpeg");
        const TransferKey key = *store.AddTransfer(id, t).key;
        NewTransfer tooDear = SmsTo(1);
        tooDear.cost = 1000000;
        ASSERT_FALSE(store.AddTransfer(id, tooDear).key);
        ASSERT_EQ(store.FindTransfer(id, key)->receivers.size(), static_cast<size_t>(receivers));
        ASSERT_FALSE(store.ListTransfers(id, {"202403"}).empty());
        ASSERT_EQ(store.Image(id, key, images), "jpeg");
        ASSERT_TRUE(
            store.CancelTransfer(id, key, test::kMarch5, [](const Transfer&) { return true; }).cancelled);
        ASSERT_TRUE(store.DeleteTransfer(id, key, test::kMarch5));
        ASSERT_EQ(store.SchemaVersion(), CurrentSchemaVersion());
    };
    everyOperation(1, 1);
    const int64_t prepared = store.StatementsPrepared();
    everyOperation(100, 3);
    everyOperation(50, 2);
    EXPECT_EQ(store.StatementsPrepared(), prepared);
}

// Sends checkpoint the write-ahead log as they go (SQLite's automatic checkpoint every 1000
// pages), so the log's file stays at about that size instead of holding every send since the
// store was opened.
TEST_F(StoreTest, SendsKeepTheWriteAheadLogCheckpointed) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 1000000));
    const int64_t id = store.FindAccount("kim")->id;
    NewTransfer t = SmsTo(100);
    for (Receiver& r : t.receivers) r.message = std::string(200, 'x');
    // Some 2,000 pages of rows in all.
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(store.AddTransfer(id, t).key);
    constexpr uintmax_t kPage = 4096;
    constexpr uintmax_t kFrame = kPage + 24;
    EXPECT_GT(std::filesystem::file_size(File()), 1500 * kPage);
    EXPECT_LT(std::filesystem::file_size(File().string() + "-wal"), 1200 * kFrame);
}

TEST_F(StoreTest, ListsByDaysTypeAndReservation) {
    Store store(File());
    store.SetUpAccount(NewAccount("kim", "pw", 1000));
    const int64_t id = store.FindAccount("kim")->id;
    const struct {
        int day;
        const char* type;
        bool reservation;
    } written[] = {{1, "sms", false}, {5, "lms", true}, {5, "sms", false}, {31, "mms", true}};
    for (const auto& w : written) {
        NewTransfer t = SmsTo(1);
        t.day = w.day;
        t.type = w.type;
        t.reservation = w.reservation;
        store.AddTransfer(id, t);
    }
    auto indexes = [&](const LogFilter& filter) {
        std::vector<int64_t> found;
        for (const Transfer& t : store.ListTransfers(id, filter)) found.push_back(t.key.index);
        return found;
    };
    using Indexes = std::vector<int64_t>;
    EXPECT_EQ(indexes({"202403", 1, 31, "", false}), (Indexes{1, 2, 3, 4}));
    EXPECT_EQ(indexes({"202403", 5, 5, "", false}), (Indexes{2, 3}));
    EXPECT_EQ(indexes({"202403", 2, 30, "", false}), (Indexes{2, 3}));
    EXPECT_EQ(indexes({"202403", 1, 31, "sms", false}), (Indexes{1, 3}));
    EXPECT_EQ(indexes({"202403", 1, 31, "", true}), (Indexes{2, 4}));
    EXPECT_EQ(indexes({"202403", 6, 5, "", false}), Indexes{});
    EXPECT_EQ(indexes({"202404", 1, 31, "", false}), Indexes{});
}

}  // namespace
}  // namespace vexa::sandbox
