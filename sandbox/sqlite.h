// Thin RAII over the sqlite3 C API: a connection that keeps its prepared statements, a statement
// lent from it with its parameters bound in order, and a transaction that rolls back unless
// committed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexa::sandbox {

class SqliteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes bound as a BLOB rather than as text.
struct Blob {
    std::string_view bytes;
};

class Database {
public:
    // Opens or creates the file.
    explicit Database(const std::filesystem::path& file);

    // Runs statements that take no parameters and return no rows, prepared for this call only:
    // for set-up such as pragmas and migrations.
    void Execute(const char* sql);
    // How long a statement waits for a lock that another connection holds before it fails.
    void SetBusyTimeout(int milliseconds);
    // Keeps a write-ahead log small, in place of SQLite's automatic checkpoint: after any commit
    // that leaves `frames` or more frames in the log, they are all copied into the database and
    // the log is truncated to nothing. A reader on another connection that still needs some of
    // them is not waited for (a commit would stall on it): then as much is copied as it allows,
    // and the next commit tries again. SQLite's own checkpoint is PASSIVE and never shrinks the
    // file, which stays as large as the largest the log has been.
    void TruncateLogAfter(int frames);
    int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_.get()); }
    int Changes() const { return sqlite3_changes(db_.get()); }
    sqlite3* Handle() const { return db_.get(); }
    [[noreturn]] void Fail(std::string_view what) const;

    // How many statements the connection has prepared for Statement so far: once per SQL text,
    // and once more for each statement of a text lent out while another of it still is.
    int64_t StatementsPrepared() const { return prepared_; }

private:
    friend class Statement;
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    using Prepared = std::unique_ptr<sqlite3_stmt, Finalizer>;
    using Idle = std::vector<Prepared>;
    struct TextHash : std::hash<std::string_view> {
        using is_transparent = void;
    };

    // An idle statement of this SQL, or a new one; `home` is where it goes back.
    Prepared Lend(std::string_view sql, Idle*& home);
    // SQLite's write-ahead log hook, called after each commit with the frames the log holds.
    static int AfterCommit(void* self, sqlite3* db, const char* name, int frames);

    std::unique_ptr<sqlite3, Closer> db_;
    // Declared after the connection, so finalized before it closes.
    std::unordered_map<std::string, Idle, TextHash, std::equal_to<>> idle_;
    int64_t prepared_ = 0;
    int busyTimeoutMs_ = 0;
    int truncateAfterFrames_ = 0;
};

// A statement of the connection's cache, lent for the object's lifetime: it comes prepared (once
// per connection), and goes back reset, its parameters cleared. Use it under whatever keeps the
// connection to one thread.
class Statement {
public:
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Starts the statement over and binds the values to the parameters 1, 2, ... in order, so one
    // statement serves row after row.
    template <class... Values>
    Statement& Bind(const Values&... values) {
        sqlite3_reset(stmt_.get());
        int index = 0;
        (BindOne(++index, values), ...);
        return *this;
    }

    // True while a row is available; false when the statement is done.
    bool Step();
    // Steps to the end, for statements that return no rows.
    void Run();

    int64_t Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }
    std::optional<int64_t> OptionalInt(int column) const;
    std::string Text(int column) const;
    std::string BlobBytes(int column) const;

private:
    void BindOne(int index, int64_t value);
    void BindOne(int index, int value) { BindOne(index, static_cast<int64_t>(value)); }
    void BindOne(int index, bool value) { BindOne(index, static_cast<int64_t>(value ? 1 : 0)); }
    void BindOne(int index, std::string_view text);
    void BindOne(int index, const std::string& text) { BindOne(index, std::string_view(text)); }
    void BindOne(int index, const char* text) { BindOne(index, std::string_view(text)); }
    void BindOne(int index, Blob blob);
    void BindOne(int index, const std::optional<int64_t>& value);
    void Check(int rc, std::string_view what) const;

    Database& db_;
    Database::Idle* home_ = nullptr;
    Database::Prepared stmt_;
};

// BEGIN IMMEDIATE: the write lock is taken at the start, so two writers never both read the same
// state and then collide. Rolled back on destruction unless Commit was called. Commit throws
// std::logic_error while a statement is still in the middle of its rows: finish or drop it first.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Database& db_;
    bool open_ = true;
};

}  // namespace vexa::sandbox
