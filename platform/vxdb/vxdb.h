// The configuration database: SQLite 3 files that hold the device's settings.
//
// Every operation of this library takes the database's device path as its first argument and maps it
// through vx_path() when it opens the file. The files hold two tables, created by the first write:
//
//   params(key TEXT PRIMARY KEY, value TEXT)
//       named parameters; every value is text, an integer is stored as its decimal text
//       (vxdb_param.h).
//   records(kind TEXT NOT NULL, idx INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(kind, idx))
//       settings records: one row per kind and index, the record's bytes as the blob. `kind` is the
//       kind's name, or for a kind whose records live in several named tables (a schedule shared by
//       several events) the table name the caller gives (vxdb_record.h).
//
// Promises:
// - A read never creates a file; a missing file, table, key or record gives the caller's default.
// - A write creates the file and both tables. Files are switched to write-ahead logging, every write
//   is one immediate transaction and every connection waits up to VXDB_BUSY_TIMEOUT_MS for a lock,
//   so concurrent request processes and the main service never lose a write.
// - A read-modify-write (read records, decide, write) runs as one transaction through vxdb_update
//   or, for one record, vxdb_change (vxdb_txn.h), so concurrent ones queue instead of losing each
//   other's changes; reads that must not take a broken or locked file for an empty one use vxdb_view
//   or get_param_int_checked.
// - Every value reaches SQL as a bound parameter; SQL text is constant.
// - One connection per database file per process, opened on first use and kept for the next calls
//   of the same request; closed at exit. Calls from several threads are serialised.
#pragma once

// The device's database files.
inline constexpr const char *VXDB_MAIN_DB = "/mnt/nand/app/vxdb.db";  // settings
inline constexpr const char *VXDB_ANPR_DB = "/mnt/nand/app/anpr.db";  // plate lists
inline constexpr const char *VXDB_OEM_DB = "/mnt/nand2/oem.db";       // factory user accounts

// How long one call waits for another process's lock before it gives up.
inline constexpr int VXDB_BUSY_TIMEOUT_MS = 5000;

// For tests of what a caller does when the file stays locked: this process waits `ms` instead (a
// value below 1 restores VXDB_BUSY_TIMEOUT_MS).
void vxdb_set_busy_timeout_ms(int ms);

// Closes every connection of this process. The next call opens again. Needed before fork() (a
// connection must not be shared with a child) and by tests that replace files under the library.
void vxdb_close_all();
