// Inside the database library: the per-process connections, statements and write transactions that
// the parameter and record operations are built on. Not for callers outside platform/vxdb.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// One call's hold on a database: the process-wide lock (calls from the socket library's delivery
// thread and the main thread are serialised) and the cached connection, or a null `db` when the file
// cannot be opened. A session for writing opens a missing file, creating it, and makes sure both
// tables exist; a session for reading never creates anything.
class vxdb_session {
public:
    vxdb_session(const char *path, bool for_write);
    vxdb_session(const vxdb_session &) = delete;
    vxdb_session &operator=(const vxdb_session &) = delete;

    sqlite3 *db = nullptr;

private:
    std::unique_lock<std::mutex> lock_;
};

// A prepared statement of constant SQL text; every value is bound. A statement that fails to
// prepare (no file, no table) reports !ok() and every step() fails.
class vxdb_stmt {
public:
    vxdb_stmt(sqlite3 *db, const char *sql);
    ~vxdb_stmt();
    vxdb_stmt(const vxdb_stmt &) = delete;
    vxdb_stmt &operator=(const vxdb_stmt &) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // SQLITE_OK, or why the statement did not prepare: SQLITE_ERROR for a table that is not there,
    // SQLITE_BUSY, an I/O error or SQLITE_NOTADB when the file could not be read.
    int prepare_status() const { return prepared_; }
    void bind_text(int slot, const char *value);
    void bind_int(int slot, int64_t value);
    void bind_blob(int slot, const void *data, size_t size);
    int step();   // SQLITE_ROW, SQLITE_DONE, or an error code
    void reset(); // ready to step again with new bindings
    const char *column_text(int column);
    const void *column_blob(int column, size_t *size);
    int64_t column_int(int column);

private:
    sqlite3_stmt *stmt_ = nullptr;
    int prepared_ = SQLITE_MISUSE;
};

// BEGIN IMMEDIATE ... COMMIT: takes the write lock at the start (waiting for it under the busy
// time-out), so a read-modify-write inside never fails half-way on a lock. Rolled back unless
// committed.
class vxdb_write_txn {
public:
    explicit vxdb_write_txn(sqlite3 *db);
    ~vxdb_write_txn();
    vxdb_write_txn(const vxdb_write_txn &) = delete;
    vxdb_write_txn &operator=(const vxdb_write_txn &) = delete;

    bool ok() const { return open_; }
    int commit();  // 0, or -1 (then rolled back)

private:
    sqlite3 *db_;
    bool open_ = false;
};

// Parameter reads of the library's own operations (vxdb_param.cpp). The stored text of `key`: 1 with
// it in *value (when not null), 0 when the key (or the params table) is not there, -1 when the file
// cannot be read.
int vxdb_lookup_param(sqlite3 *db, const char *key, std::string *value);
// Decimal text to int, white space around it allowed. False for anything else or out of range.
bool vxdb_parse_int(const std::string &text, int *value);

// True when nothing is at the file's place: a read of it is a read of an empty store. A file that is
// there but cannot be opened is no such thing.
bool vxdb_file_absent(const char *path);

// A name that may key rows of the records table: 1 to 63 letters, digits and '_'.
bool vxdb_valid_table_name(const char *name);
