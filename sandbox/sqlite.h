// Thin RAII over the sqlite3 C API: a connection, a prepared statement with its parameters bound
// in order, and a transaction that rolls back unless committed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <string_view>

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

    // Runs statements that take no parameters and return no rows.
    void Execute(const char* sql);
    int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_.get()); }
    int Changes() const { return sqlite3_changes(db_.get()); }
    sqlite3* Handle() const { return db_.get(); }
    [[noreturn]] void Fail(std::string_view what) const;

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

class Statement {
public:
    Statement(Database& db, std::string_view sql);

    // Binds the values to the parameters 1, 2, ... in order.
    template <class... Values>
    Statement& Bind(const Values&... values) {
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

    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    Database& db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

// BEGIN IMMEDIATE: the write lock is taken at the start, so two writers never both read the same
// state and then collide. Rolled back on destruction unless Commit was called.
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
