#include "vxdb/vxdb_conn.h"

#include "vxdb/vxdb.h"
#include "vxrt/vx_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {
// A request touches at most the three device databases; tests touch many files in one process. The
// oldest connection is closed when a further file is opened.
constexpr size_t MAX_CONNECTIONS = 8;

struct connection {
    std::string file;
    sqlite3 *db = nullptr;
    bool schema_ready = false;
};

struct connection_cache {
    std::vector<connection> open;
    pid_t owner = 0;
};

std::mutex g_lock;  // constant-initialised: usable from any static constructor

// Waiting for another process's lock. SQLite's own time-out handler sleeps ever longer (up to 100
// ms), so under steady contention one process can keep missing the moment the lock is free until its
// time is up. Short, jittered sleeps give every waiter many chances per lock hand-over. Calls are
// serialised by g_lock, so one start time serves every connection.
std::chrono::steady_clock::time_point g_busy_since;
int g_busy_timeout_ms = VXDB_BUSY_TIMEOUT_MS;

int on_busy(void *, int attempts)
{
    static std::minstd_rand jitter;
    static pid_t seeded_for = 0;
    if (seeded_for != getpid()) {  // children of fork() must not wait in step with each other
        seeded_for = getpid();
        jitter.seed(static_cast<unsigned>(seeded_for));
    }
    auto now = std::chrono::steady_clock::now();
    if (attempts == 0)
        g_busy_since = now;
    if (now - g_busy_since >= std::chrono::milliseconds(g_busy_timeout_ms))
        return 0;
    usleep(static_cast<useconds_t>(200 + jitter() % 1800));
    return 1;
}

// Never destroyed: a static destructor of another unit may still call into the library. The
// connections themselves are closed by close_all at exit.
connection_cache &cache()
{
    static connection_cache *c = new connection_cache;
    return *c;
}

void close_all_locked()
{
    connection_cache &c = cache();
    // A child of fork() must not close (or use) its parent's connections: SQLite's locks are per
    // process and closing would drop the parent's. It simply forgets them.
    if (c.owner == getpid()) {
        for (connection &conn : c.open)
            sqlite3_close_v2(conn.db);
    }
    c.open.clear();
}

void close_all_at_exit()
{
    std::lock_guard<std::mutex> hold(g_lock);
    close_all_locked();
}

bool create_schema(sqlite3 *db)
{
    // Write-ahead logging lets readers go on while one process writes. The mode is stored in the file;
    // when another process holds a lock the switch is left to a later writer, correctness does not
    // depend on it.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    vxdb_write_txn txn(db);
    if (!txn.ok())
        return false;
    const char *schema =
        "CREATE TABLE IF NOT EXISTS params(key TEXT PRIMARY KEY, value TEXT);"
        "CREATE TABLE IF NOT EXISTS records(kind TEXT NOT NULL, idx INTEGER NOT NULL, data BLOB NOT NULL,"
        " PRIMARY KEY(kind, idx)) WITHOUT ROWID;";
    if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    return txn.commit() == 0;
}

// A request process makes a handful of small queries and exits: memory SQLite sets aside for a long
// life (lookaside slots, a bulk page-cache block, allocation statistics) only costs page faults here.
void configure_library_once()
{
    static bool configured = false;
    if (configured)
        return;
    configured = true;
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
    sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

// A request process that finds no other connection would otherwise create the write-ahead log and its
// shared-memory index and delete both again at exit, about a third of a database request's time.
// Kept files must be emptied by the last close: SQLite leaves the checkpointed frames in a kept log,
// and the next process alone on the file would read them back and copy them into the database once
// more (with an fdatasync) even for a read. Any size limit truncates the log to nothing at that close;
// the one chosen here also bounds it for the main service's long-lived connection.
void keep_log_files(sqlite3 *db)
{
    int persist = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_exec(db, "PRAGMA journal_size_limit=262144", nullptr, nullptr, nullptr);
}

sqlite3 *connect_locked(const char *path, bool for_write)
{
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    connection_cache &c = cache();
    if (c.owner != getpid()) {
        close_all_locked();
        c.owner = getpid();
    }
    std::string file = vx_path(path);
    connection *conn = nullptr;
    for (connection &candidate : c.open) {
        if (candidate.file == file)
            conn = &candidate;
    }
    if (conn == nullptr) {
        configure_library_once();
        sqlite3 *db = nullptr;
        int flags = SQLITE_OPEN_READWRITE | (for_write ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);  // a failed open still allocates a handle
            return nullptr;
        }
        sqlite3_busy_handler(db, on_busy, nullptr);
        keep_log_files(db);
        static bool exit_hook = false;
        if (!exit_hook)
            exit_hook = atexit(close_all_at_exit) == 0;
        if (c.open.size() >= MAX_CONNECTIONS) {
            sqlite3_close_v2(c.open.front().db);
            c.open.erase(c.open.begin());
        }
        c.open.push_back(connection{file, db, false});
        conn = &c.open.back();
    }
    if (for_write && !conn->schema_ready) {
        if (!create_schema(conn->db))
            return nullptr;
        conn->schema_ready = true;
    }
    return conn->db;
}
}  // namespace

bool vxdb_file_absent(const char *path)
{
    struct stat st;
    return path != nullptr && stat(vx_path(path).c_str(), &st) != 0 && errno == ENOENT;
}

void vxdb_set_busy_timeout_ms(int ms)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_busy_timeout_ms = ms > 0 ? ms : VXDB_BUSY_TIMEOUT_MS;
}

void vxdb_close_all()
{
    std::lock_guard<std::mutex> hold(g_lock);
    close_all_locked();
}

vxdb_session::vxdb_session(const char *path, bool for_write) : lock_(g_lock)
{
    db = connect_locked(path, for_write);
}

vxdb_stmt::vxdb_stmt(sqlite3 *db, const char *sql)
{
    prepared_ = db != nullptr ? sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) : SQLITE_CANTOPEN;
    if (prepared_ != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

vxdb_stmt::~vxdb_stmt()
{
    sqlite3_finalize(stmt_);
}

void vxdb_stmt::bind_text(int slot, const char *value)
{
    if (stmt_ != nullptr)
        sqlite3_bind_text(stmt_, slot, value, -1, SQLITE_TRANSIENT);
}

void vxdb_stmt::bind_int(int slot, int64_t value)
{
    if (stmt_ != nullptr)
        sqlite3_bind_int64(stmt_, slot, value);
}

void vxdb_stmt::bind_blob(int slot, const void *data, size_t size)
{
    if (stmt_ != nullptr)
        sqlite3_bind_blob64(stmt_, slot, data, size, SQLITE_TRANSIENT);
}

int vxdb_stmt::step()
{
    return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE;
}

void vxdb_stmt::reset()
{
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

const char *vxdb_stmt::column_text(int column)
{
    return reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
}

const void *vxdb_stmt::column_blob(int column, size_t *size)
{
    const void *data = sqlite3_column_blob(stmt_, column);
    *size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
    return data;
}

int64_t vxdb_stmt::column_int(int column)
{
    return sqlite3_column_int64(stmt_, column);
}

vxdb_write_txn::vxdb_write_txn(sqlite3 *db) : db_(db)
{
    open_ = db_ != nullptr && sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

vxdb_write_txn::~vxdb_write_txn()
{
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int vxdb_write_txn::commit()
{
    if (!open_)
        return -1;
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        open_ = false;
        return 0;
    }
    return -1;  // the destructor rolls back
}
