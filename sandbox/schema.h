// The store's tables and their versions. Each step of kMigrations brings the schema from one
// version to the next; a database records the version it has reached in schema_version.
#pragma once

#include "sandbox/sqlite.h"

namespace vexa::sandbox {

// How every connection to a store is set up: a write-ahead log (readers do not wait for the
// writer), a sync to disk only at checkpoints, foreign keys enforced, and a log file that is cut
// back to 1 MiB whenever SQLite starts it over (for a log a checkpoint could not truncate).
inline constexpr const char* kConnectionPragmas =
    "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON; "
    "PRAGMA journal_size_limit = 1048576;";

// The write-ahead log is checkpointed and truncated once a commit leaves this many frames in it
// (a frame is a page, 4 KiB, and a small header): about 1 MiB.
inline constexpr int kLogFramesBeforeCheckpoint = 256;

// The version this build writes.
int CurrentSchemaVersion();

// The version recorded in the database; 0 for an empty one. Throws when the file holds tables
// but no version, i.e. it is not a sandbox store.
int SchemaVersionOf(Database& db);

// Creates the tables in an empty database and brings an older one up to date, one transaction
// per step. Throws, changing nothing, when the database is newer than this build knows.
void MigrateSchema(Database& db);

}  // namespace vexa::sandbox
