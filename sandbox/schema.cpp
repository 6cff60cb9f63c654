#include "sandbox/schema.h"

#include <iterator>
#include <string>

namespace vexa::sandbox {

namespace {

// Times are Unix seconds. Months and days are the local calendar of the sandbox at the moment a
// transfer was written: they key it, and a later change of time zone must not move it.
constexpr const char* kMigrations[] = {
    // 1: accounts, transfers with their receivers and images.
    R"sql(
CREATE TABLE schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version (version) VALUES (0);

CREATE TABLE accounts (
    id INTEGER PRIMARY KEY,
    user_id TEXT NOT NULL UNIQUE,
    name TEXT NOT NULL,
    password_salt BLOB NOT NULL,
    password_digest BLOB NOT NULL,
    password_iterations INTEGER NOT NULL,
    credit INTEGER NOT NULL CHECK (credit >= 0)
);

CREATE TABLE return_phones (
    account_id INTEGER NOT NULL REFERENCES accounts (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    phone TEXT NOT NULL,
    PRIMARY KEY (account_id, position)
);

CREATE TABLE transfers (
    id INTEGER PRIMARY KEY,
    account_id INTEGER NOT NULL REFERENCES accounts (id) ON DELETE CASCADE,
    month TEXT NOT NULL,
    month_index INTEGER NOT NULL CHECK (month_index > 0),
    day INTEGER NOT NULL,
    type TEXT NOT NULL,
    sender TEXT NOT NULL,
    message TEXT NOT NULL,
    subject TEXT NOT NULL,
    reservation INTEGER NOT NULL,
    send_time INTEGER NOT NULL,
    write_time INTEGER NOT NULL,
    cost INTEGER NOT NULL,
    user_ip TEXT NOT NULL,
    deleted_time INTEGER,
    cancelled_time INTEGER,
    UNIQUE (account_id, month, month_index)
);

CREATE TABLE receivers (
    transfer_id INTEGER NOT NULL REFERENCES transfers (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    phone TEXT NOT NULL,
    name TEXT NOT NULL,
    message TEXT NOT NULL,
    send_time INTEGER NOT NULL,
    delivery_time INTEGER NOT NULL,
    result INTEGER NOT NULL,
    PRIMARY KEY (transfer_id, position)
);

CREATE TABLE images (
    transfer_id INTEGER NOT NULL REFERENCES transfers (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    jpeg BLOB NOT NULL,
    PRIMARY KEY (transfer_id, position)
);
)sql",
    // 2: which protocol a transfer came through; the transfers before it all came over REST.
    R"sql(
ALTER TABLE transfers ADD COLUMN via TEXT NOT NULL DEFAULT 'rest';
)sql",
};

bool HasTable(Database& db, const char* name) {
    Statement statement(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    statement.Bind(name);
    return statement.Step();
}

}  // namespace

int CurrentSchemaVersion() { return static_cast<int>(std::size(kMigrations)); }

int SchemaVersionOf(Database& db) {
    if (!HasTable(db, "schema_version")) {
        Statement anything(db, "SELECT 1 FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'");
        if (anything.Step()) throw SqliteError("store: the database is not a vexa-sandbox store");
        return 0;
    }
    Statement statement(db, "SELECT version FROM schema_version");
    if (!statement.Step()) throw SqliteError("store: schema_version holds no version");
    return static_cast<int>(statement.Int(0));
}

void MigrateSchema(Database& db) {
    const int found = SchemaVersionOf(db);
    if (found > CurrentSchemaVersion()) {
        throw SqliteError("store: schema version " + std::to_string(found) + " is newer than this sandbox (" +
                          std::to_string(CurrentSchemaVersion()) + ")");
    }
    for (int version = found; version < CurrentSchemaVersion(); ++version) {
        Transaction transaction(db);
        db.Execute(kMigrations[version]);
        Statement(db, "UPDATE schema_version SET version = ?").Bind(version + 1).Run();
        transaction.Commit();
    }
}

}  // namespace vexa::sandbox
