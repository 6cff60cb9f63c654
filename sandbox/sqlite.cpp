#include "sandbox/sqlite.h"

#include <new>
#include <stdexcept>

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

void Database::SetBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    sqlite3_busy_timeout(db_.get(), milliseconds);
}

void Database::TruncateLogAfter(int frames) {
    truncateAfterFrames_ = frames;
    sqlite3_wal_hook(db_.get(), &Database::AfterCommit, this);
}

int Database::AfterCommit(void* self, sqlite3* db, const char* name, int frames) {
    const auto* database = static_cast<const Database*>(self);
    if (frames < database->truncateAfterFrames_) return SQLITE_OK;
    // Without a busy handler the checkpoint takes what readers elsewhere allow and answers
    // SQLITE_BUSY for the rest, which the next commit retries; either way the commit stands.
    sqlite3_busy_timeout(db, 0);
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(db, database->busyTimeoutMs_);
    return SQLITE_OK;
}

void Database::Fail(std::string_view what) const {
    const char* message = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
    throw SqliteError("store: " + std::string(what) + ": " + message);
}

Database::Prepared Database::Lend(std::string_view sql, Idle*& home) {
    auto found = idle_.find(sql);
    if (found == idle_.end()) found = idle_.emplace(std::string(sql), Idle()).first;
    home = &found->second;  // a node of the map: stays where it is as the map grows
    if (!home->empty()) {
        Prepared stmt = std::move(home->back());
        home->pop_back();
        return stmt;
    }
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v3(db_.get(), sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    Prepared stmt(raw);
    if (rc != SQLITE_OK) Fail(sql);
    if (!stmt) throw SqliteError("store: no statement in: " + std::string(sql));
    ++prepared_;
    return stmt;
}

Statement::Statement(Database& db, std::string_view sql) : db_(db), stmt_(db.Lend(sql, home_)) {}

Statement::~Statement() {
    // Ends whatever the statement still holds (a read, a row) before the next borrower gets it.
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
    try {
        home_->push_back(std::move(stmt_));
    } catch (const std::bad_alloc&) {
        // Not kept, so finalized: the next borrower prepares it again.
    }
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

Transaction::Transaction(Database& db) : db_(db) { Statement(db_, "BEGIN IMMEDIATE").Run(); }

Transaction::~Transaction() {
    // Some errors end the transaction themselves; then there is nothing left to roll back.
    if (!open_ || sqlite3_get_autocommit(db_.Handle())) return;
    try {
        Statement(db_, "ROLLBACK").Run();
    } catch (const std::exception&) {
        // Nothing better to do: the connection rolls back when it closes.
    }
}

void Transaction::Commit() {
    // A statement in the middle of its rows keeps a read open past the commit, and the commit's
    // checkpoint of the write-ahead log then fails: the log would grow with every transaction.
    for (sqlite3_stmt* stmt = sqlite3_next_stmt(db_.Handle(), nullptr); stmt;
         stmt = sqlite3_next_stmt(db_.Handle(), stmt)) {
        if (sqlite3_stmt_busy(stmt)) {
            throw std::logic_error(std::string("store: committing while a statement is mid-way: ") +
                                   sqlite3_sql(stmt));
        }
    }
    Statement(db_, "COMMIT").Run();
    open_ = false;
}

}  // namespace vexa::sandbox
