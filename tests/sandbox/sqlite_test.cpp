// The connection's statement cache: a statement is prepared once per SQL text and lent out again
// and again, coming back reset with its parameters cleared, whatever the last borrower left.
#include "sandbox/sqlite.h"

#include <gtest/gtest.h>

#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

class SqliteTest : public testing::Test {
protected:
    SqliteTest() { db_.Execute("CREATE TABLE numbers (n INTEGER PRIMARY KEY)"); }

    // The rows of the table, in order.
    std::vector<int64_t> Numbers() {
        std::vector<int64_t> numbers;
        Statement select(db_, "SELECT n FROM numbers ORDER BY n");
        while (select.Step()) numbers.push_back(select.Int(0));
        return numbers;
    }

    test::ScratchDirectory dir_;
    Database db_{dir_.Path() / "cache.db"};
};

TEST_F(SqliteTest, OneStatementServesEveryRowAndEveryLaterBorrower) {
    {
        Statement insert(db_, "INSERT INTO numbers (n) VALUES (?)");
        for (int n = 1; n <= 50; ++n) insert.Bind(n).Run();
    }
    const int64_t prepared = db_.StatementsPrepared();
    for (int n = 51; n <= 60; ++n) Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(n).Run();
    EXPECT_EQ(Numbers().size(), 60u);
    EXPECT_EQ(Numbers().back(), 60);
    EXPECT_EQ(db_.StatementsPrepared(), prepared + 1);  // the SELECT's, once for both reads
}

TEST_F(SqliteTest, AStatementComesBackStartedOverWithItsParametersCleared) {
    for (int n : {1, 2, 3}) Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(n).Run();
    constexpr const char* kAtLeast = "SELECT n FROM numbers WHERE n >= ? ORDER BY n";
    {
        // Left after its first row, its parameter bound.
        Statement first(db_, kAtLeast);
        ASSERT_TRUE(first.Bind(2).Step());
        EXPECT_EQ(first.Int(0), 2);
    }
    Statement again(db_, kAtLeast);
    // Unbound, the parameter is NULL again: no row compares.
    EXPECT_FALSE(again.Step());
    ASSERT_TRUE(again.Bind(1).Step());
    EXPECT_EQ(again.Int(0), 1);
    // Binding starts it over mid-way.
    ASSERT_TRUE(again.Bind(3).Step());
    EXPECT_EQ(again.Int(0), 3);
    EXPECT_FALSE(again.Step());
}

TEST_F(SqliteTest, TheSameTextLentTwiceAtOnceIsTwoStatementsKeptForLater) {
    for (int n : {1, 2}) Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(n).Run();
    constexpr const char* kAll = "SELECT n FROM numbers ORDER BY n";
    const int64_t before = db_.StatementsPrepared();
    {
        Statement outer(db_, kAll);
        ASSERT_TRUE(outer.Step());
        EXPECT_EQ(outer.Int(0), 1);
        Statement inner(db_, kAll);  // its own cursor, from the first row
        ASSERT_TRUE(inner.Step());
        EXPECT_EQ(inner.Int(0), 1);
        ASSERT_TRUE(outer.Step());
        EXPECT_EQ(outer.Int(0), 2);
    }
    EXPECT_EQ(db_.StatementsPrepared(), before + 2);
    {
        Statement outer(db_, kAll);
        Statement inner(db_, kAll);
    }
    EXPECT_EQ(db_.StatementsPrepared(), before + 2);
}

TEST_F(SqliteTest, AFailedStatementIsLentAgainInWorkingOrder) {
    Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(1).Run();
    {
        Statement insert(db_, "INSERT INTO numbers (n) VALUES (?)");
        EXPECT_THROW(insert.Bind(1).Run(), SqliteError);  // the key is taken
        insert.Bind(2).Run();
    }
    Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(3).Run();
    EXPECT_EQ(Numbers(), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_THROW(Statement(db_, "SELECT nothing FROM nowhere"), SqliteError);
}

TEST_F(SqliteTest, ATransactionRollsBackUnlessCommittedOverAndOverOnOneConnection) {
    for (int round = 1; round <= 3; ++round) {
        {
            Transaction abandoned(db_);
            Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(100 + round).Run();
        }
        Transaction kept(db_);
        Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(round).Run();
        kept.Commit();
    }
    EXPECT_EQ(Numbers(), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_TRUE(sqlite3_get_autocommit(db_.Handle()));
}

// A read left mid-way would outlast the commit and keep the write-ahead log from being
// checkpointed, so a commit refuses it; the transaction then rolls back as any failed one.
TEST_F(SqliteTest, ACommitWithAStatementMidWayIsRefused) {
    for (int n : {1, 2}) Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(n).Run();
    {
        Transaction transaction(db_);
        Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(3).Run();
        Statement reading(db_, "SELECT n FROM numbers ORDER BY n");
        ASSERT_TRUE(reading.Step());
        EXPECT_THROW(transaction.Commit(), std::logic_error);
    }
    EXPECT_EQ(Numbers(), (std::vector<int64_t>{1, 2}));

    Transaction transaction(db_);
    {
        Statement reading(db_, "SELECT n FROM numbers ORDER BY n");
        ASSERT_TRUE(reading.Step());
    }
    Statement(db_, "INSERT INTO numbers (n) VALUES (?)").Bind(3).Run();
    transaction.Commit();
    EXPECT_EQ(Numbers(), (std::vector<int64_t>{1, 2, 3}));
}

// The store's own checkpoint: a commit that leaves the log at its threshold or above empties the
// log file, unless a reader on another connection still needs it; then the log keeps growing
// (the commit does not wait for the reader), until the first commit after the reader is done.
// Commits outside a transaction take the same path.
TEST(WriteAheadLogTest, ACommitThatFillsTheLogTruncatesItOnceNoReaderElsewhereNeedsIt) {
    test::ScratchDirectory dir;
    const std::filesystem::path file = dir.Path() / "log.db";
    const std::filesystem::path log = dir.Path() / "log.db-wal";
    Database db(file);
    db.Execute("PRAGMA journal_mode = WAL; CREATE TABLE pages (bytes BLOB)");
    db.SetBusyTimeout(5000);
    db.TruncateLogAfter(16);
    // About 8 pages a row.
    auto insert = [&db] { Statement(db, "INSERT INTO pages (bytes) VALUES (zeroblob(32000))").Run(); };

    insert();
    const uintmax_t belowThreshold = std::filesystem::file_size(log);
    EXPECT_GT(belowThreshold, 0u);
    insert();
    EXPECT_EQ(std::filesystem::file_size(log), 0u);

    Database elsewhere(file);
    {
        // A statement on its first row holds its read open.
        Statement reading(elsewhere, "SELECT rowid FROM pages");
        ASSERT_TRUE(reading.Step());
        uintmax_t size = 0;
        for (int round = 0; round < 4; ++round) {
            insert();
            EXPECT_GT(std::filesystem::file_size(log), size) << round;
            size = std::filesystem::file_size(log);
        }
    }
    insert();
    EXPECT_EQ(std::filesystem::file_size(log), 0u);
    Statement count(elsewhere, "SELECT COUNT(*) FROM pages");
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.Int(0), 7);
}

}  // namespace
}  // namespace vexa::sandbox
