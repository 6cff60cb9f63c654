#include "sandbox/sqlite.h"

namespace vexa::sandbox {

Database::Database(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(raw);  // a failed open still hands out a handle that must be closed
    if (rc != SQLITE_OK) Fail("opening " + file.string());
    sqlite3_extended_result_codes(raw, 1);
}

void Database::Execute(const char* sql) {
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
}

void Database::Fail(std::string_view what) const {
    const char* message = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
    throw SqliteError("store: " + std::string(what) + ": " + message);
}

Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
    stmt_.reset(raw);
    if (rc != SQLITE_OK) db.Fail(sql);
}

void Statement::Check(int rc, std::string_view what) const {
    if (rc != SQLITE_OK) db_.Fail(what);
}

void Statement::BindOne(int index, int64_t value) {
    Check(sqlite3_bind_int64(stmt_.get(), index, value), "binding a number");
}

void Statement::BindOne(int index, std::string_view text) {
    Check(sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
          "binding a text");
}

void Statement::BindOne(int index, Blob blob) {
    Check(sqlite3_bind_blob64(stmt_.get(), index, blob.bytes.data(), blob.bytes.size(), SQLITE_TRANSIENT),
          "binding a blob");
}

void Statement::BindOne(int index, const std::optional<int64_t>& value) {
    if (value) {
        BindOne(index, *value);
    } else {
        Check(sqlite3_bind_null(stmt_.get(), index), "binding null");
    }
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.Fail(sqlite3_sql(stmt_.get()));
}

void Statement::Run() {
    while (Step()) {
    }
}

std::optional<int64_t> Statement::OptionalInt(int column) const {
    if (sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL) return std::nullopt;
    return Int(column);
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_.get(), column);
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size)) : std::string();
}

std::string Statement::BlobBytes(int column) const {
    const void* bytes = sqlite3_column_blob(stmt_.get(), column);
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
}

Transaction::Transaction(Database& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    // A failed rollback leaves nothing better to do: the connection rolls back when it closes.
    if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    db_.Execute("COMMIT");
    open_ = false;
}

}  // namespace vexa::sandbox
