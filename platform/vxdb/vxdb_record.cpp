#include "vxdb/vxdb_record.h"

#include "vxdb/vxdb_conn.h"
#include "vxdb/vxdb_txn.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {
// The rows' key: the table name when one is given, else the kind's name; null when unusable.
const char *row_key(const vxdb_kind &kind, const char *table)
{
    const char *key = table ? table : kind.name;
    return vxdb_valid_table_name(key) ? key : nullptr;
}

bool in_range(const vxdb_kind &kind, int64_t index)
{
    return index >= kind.first && index <= kind.last;
}

void set_index(const vxdb_kind &kind, void *record, int index)
{
    if (kind.index_offset == VXDB_NO_INDEX)
        return;
    int32_t value = index;
    memcpy(static_cast<unsigned char *>(record) + kind.index_offset, &value, sizeof value);
}

int index_of(const vxdb_kind &kind, const void *record)
{
    int32_t value = 0;
    memcpy(&value, static_cast<const unsigned char *>(record) + kind.index_offset, sizeof value);
    return value;
}

// A stored blob into a record: a short one leaves the rest zero, a long one is cut.
void fill(const vxdb_kind &kind, void *record, vxdb_stmt &stmt, int column, int index)
{
    size_t size = 0;
    const void *data = stmt.column_blob(column, &size);
    memset(record, 0, kind.size);
    if (data != nullptr)
        memcpy(record, data, size < kind.size ? size : kind.size);
    set_index(kind, record, index);
}

const char *const INSERT_ROW = "INSERT OR REPLACE INTO records(kind, idx, data) VALUES(?1, ?2, ?3)";

int insert(vxdb_stmt &stmt, const char *key, int index, const void *data, size_t size)
{
    stmt.reset();
    stmt.bind_text(1, key);
    stmt.bind_int(2, index);
    stmt.bind_blob(3, data, size);
    return stmt.step() == SQLITE_DONE ? 0 : -1;
}

// Deletes with a reading session: removing from a file or table that is not there leaves nothing to
// do and must not create the file.
int remove_rows(const char *path, const char *sql, const char *key, int64_t low, int64_t high)
{
    vxdb_session session(path, false);
    if (session.db == nullptr)
        return 0;
    vxdb_write_txn txn(session.db);
    vxdb_stmt stmt(session.db, sql);
    if (!stmt.ok())
        return txn.ok() ? 0 : -1;  // no records table yet
    stmt.bind_text(1, key);
    stmt.bind_int(2, low);
    stmt.bind_int(3, high);
    if (!txn.ok() || stmt.step() != SQLITE_DONE)
        return -1;
    return txn.commit();
}
// Every stored row of a kind's index range, in index order.
constexpr const char *select_range_sql =
    "SELECT idx, data FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3 ORDER BY idx";

// Binds the row key and the kind's index range to a statement of select_range_sql. False when the
// statement did not prepare.
bool bind_range(vxdb_stmt &stmt, const char *key, const vxdb_kind &kind)
{
    if (!stmt.ok())
        return false;
    stmt.bind_text(1, key);
    stmt.bind_int(2, kind.first);
    stmt.bind_int(3, kind.last);
    return true;
}
}  // namespace

bool vxdb_valid_table_name(const char *name)
{
    if (name == nullptr || name[0] == '\0')
        return false;
    size_t n = 0;
    for (; name[n] != '\0'; ++n) {
        if (n >= 63 || !(isalnum(static_cast<unsigned char>(name[n])) || name[n] == '_'))
            return false;
    }
    return true;
}

int vxdb_read(const char *path, const vxdb_kind &kind, int index, void *record, const char *table)
{
    if (record == nullptr)
        return -1;
    memset(record, 0, kind.size);
    set_index(kind, record, index);
    const char *key = row_key(kind, table);
    if (key == nullptr || !in_range(kind, index))
        return -1;
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, "SELECT data FROM records WHERE kind = ?1 AND idx = ?2");
    stmt.bind_text(1, key);
    stmt.bind_int(2, index);
    if (stmt.step() != SQLITE_ROW)
        return -1;
    fill(kind, record, stmt, 0, index);
    return 0;
}

int vxdb_read_many(const char *path, const vxdb_kind &kind, void *records, int capacity, int *count,
                   const char *table)
{
    if (count != nullptr)
        *count = 0;
    const char *key = row_key(kind, table);
    if (records == nullptr || key == nullptr)
        return -1;
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, select_range_sql);
    if (!bind_range(stmt, key, kind))
        return -1;
    int n = 0;
    while (n < capacity && stmt.step() == SQLITE_ROW) {
        void *record = static_cast<unsigned char *>(records) + static_cast<size_t>(n) * kind.size;
        fill(kind, record, stmt, 1, static_cast<int>(stmt.column_int(0)));
        ++n;
    }
    if (count != nullptr)
        *count = n;
    return n;
}

int vxdb_read_slots(const char *path, const vxdb_kind &kind, void *records, int capacity, const char *table)
{
    if (records == nullptr || capacity <= 0)
        return 0;
    int64_t slots = static_cast<int64_t>(kind.last) - kind.first + 1;
    int n = slots < capacity ? static_cast<int>(slots) : capacity;
    auto slot = [&](int64_t index) {
        return static_cast<unsigned char *>(records) + static_cast<size_t>(index - kind.first) * kind.size;
    };
    for (int i = 0; i < n; ++i) {
        memset(slot(kind.first + i), 0, kind.size);
        set_index(kind, slot(kind.first + i), kind.first + i);
    }
    const char *key = row_key(kind, table);
    if (key == nullptr)
        return n;
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, "SELECT idx, data FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3");
    stmt.bind_text(1, key);
    stmt.bind_int(2, kind.first);
    stmt.bind_int(3, static_cast<int64_t>(kind.first) + n - 1);
    while (stmt.step() == SQLITE_ROW) {
        int index = static_cast<int>(stmt.column_int(0));
        fill(kind, slot(index), stmt, 1, index);
    }
    return n;
}

int vxdb_write_at(const char *path, const vxdb_kind &kind, int index, const void *record, const char *table)
{
    const char *key = row_key(kind, table);
    if (record == nullptr || key == nullptr || !in_range(kind, index))
        return -1;
    std::vector<unsigned char> data(static_cast<const unsigned char *>(record),
                                    static_cast<const unsigned char *>(record) + kind.size);
    set_index(kind, data.data(), index);
    vxdb_session session(path, true);
    vxdb_write_txn txn(session.db);
    vxdb_stmt stmt(session.db, INSERT_ROW);
    if (!txn.ok() || insert(stmt, key, index, data.data(), data.size()) != 0)
        return -1;
    return txn.commit();
}

int vxdb_write(const char *path, const vxdb_kind &kind, const void *record, const char *table)
{
    if (record == nullptr || kind.index_offset == VXDB_NO_INDEX)
        return -1;
    return vxdb_write_at(path, kind, index_of(kind, record), record, table);
}

int vxdb_write_many(const char *path, const vxdb_kind &kind, const void *records, int count, const char *table)
{
    const char *key = row_key(kind, table);
    if (records == nullptr || key == nullptr || count < 0)
        return -1;
    auto record = [&](int i) {
        return static_cast<const unsigned char *>(records) + static_cast<size_t>(i) * kind.size;
    };
    auto index = [&](int i) {
        return kind.index_offset == VXDB_NO_INDEX ? static_cast<int64_t>(kind.first) + i : index_of(kind, record(i));
    };
    for (int i = 0; i < count; ++i) {
        if (!in_range(kind, index(i)))
            return -1;
    }
    vxdb_session session(path, true);
    vxdb_write_txn txn(session.db);
    vxdb_stmt stmt(session.db, INSERT_ROW);
    if (!txn.ok())
        return -1;
    for (int i = 0; i < count; ++i) {
        if (insert(stmt, key, static_cast<int>(index(i)), record(i), kind.size) != 0)
            return -1;
    }
    return txn.commit();
}

int vxdb_copy(const char *path, const vxdb_kind &kind, int source, uint64_t mask, const char *table)
{
    const char *key = row_key(kind, table);
    if (key == nullptr || !in_range(kind, source))
        return -1;
    vxdb_session session(path, true);
    // The source is read inside the write transaction, so every copy is of one version of it.
    vxdb_write_txn txn(session.db);
    std::vector<unsigned char> data(kind.size);
    {
        vxdb_stmt read(session.db, "SELECT data FROM records WHERE kind = ?1 AND idx = ?2");
        read.bind_text(1, key);
        read.bind_int(2, source);
        if (!txn.ok() || read.step() != SQLITE_ROW)
            return -1;
        fill(kind, data.data(), read, 0, source);
    }
    vxdb_stmt stmt(session.db, INSERT_ROW);
    for (int n = 0; n < 64; ++n) {
        if (!(mask & (uint64_t{1} << n)) || n == source || !in_range(kind, n))
            continue;
        set_index(kind, data.data(), n);
        if (insert(stmt, key, n, data.data(), data.size()) != 0)
            return -1;
    }
    return txn.commit();
}

int vxdb_write_copies(const char *path, const vxdb_kind &kind, const void *source, uint64_t mask, const char *table,
                      void (*adjust)(void *record, int channel), int base)
{
    const char *key = row_key(kind, table);
    if (source == nullptr || key == nullptr)
        return -1;
    if (mask == 0)
        return 0;
    vxdb_session session(path, true);
    vxdb_write_txn txn(session.db);
    vxdb_stmt stmt(session.db, INSERT_ROW);
    if (!txn.ok())
        return -1;
    std::vector<unsigned char> data(kind.size);
    for (int n = 0; n < 64; ++n) {
        const int64_t index = static_cast<int64_t>(base) + n;
        if (!(mask & (uint64_t{1} << n)) || !in_range(kind, index))
            continue;
        memcpy(data.data(), source, kind.size);
        set_index(kind, data.data(), static_cast<int>(index));
        if (adjust != nullptr)
            adjust(data.data(), n);
        if (insert(stmt, key, static_cast<int>(index), data.data(), data.size()) != 0)
            return -1;
    }
    return txn.commit();
}

int vxdb_delete(const char *path, const vxdb_kind &kind, int index, const char *table)
{
    const char *key = row_key(kind, table);
    if (key == nullptr)
        return -1;
    return remove_rows(path, "DELETE FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3", key, index, index);
}

int vxdb_delete_all(const char *path, const vxdb_kind &kind, const char *table)
{
    const char *key = row_key(kind, table);
    if (key == nullptr)
        return -1;
    return remove_rows(path, "DELETE FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3", key, kind.first,
                       kind.last);
}

int vxdb_count(const char *path, const vxdb_kind &kind, const char *table)
{
    const char *key = row_key(kind, table);
    if (key == nullptr)
        return 0;
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, "SELECT COUNT(*) FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3");
    stmt.bind_text(1, key);
    stmt.bind_int(2, kind.first);
    stmt.bind_int(3, kind.last);
    return stmt.step() == SQLITE_ROW ? static_cast<int>(stmt.column_int(0)) : 0;
}

int vxdb_for_each(const char *path, const vxdb_kind &kind, void (*visit)(int index, const void *record, void *context),
                  void *context, const char *table)
{
    const char *key = row_key(kind, table);
    if (key == nullptr)
        return -1;
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, select_range_sql);
    if (!bind_range(stmt, key, kind))
        return -1;
    std::vector<unsigned char> record(kind.size);
    int n = 0;
    int rc;
    while ((rc = stmt.step()) == SQLITE_ROW) {
        int index = static_cast<int>(stmt.column_int(0));
        fill(kind, record.data(), stmt, 1, index);
        if (visit != nullptr)
            visit(index, record.data(), context);
        ++n;
    }
    return rc == SQLITE_DONE ? n : -1;
}

// ---- Transactions (vxdb_txn.h) ----

int vxdb_txn::read(int index, void *record)
{
    if (record == nullptr)
        return fail();
    memset(record, 0, kind_.size);
    set_index(kind_, record, index);
    if (!in_range(kind_, index) || db_ == nullptr)
        return 1;
    vxdb_stmt stmt(db_, "SELECT data FROM records WHERE kind = ?1 AND idx = ?2");
    if (!stmt.ok())
        return !writable_ && stmt.prepare_status() == SQLITE_ERROR ? 1 : fail();  // no table yet
    stmt.bind_text(1, key_);
    stmt.bind_int(2, index);
    int rc = stmt.step();
    if (rc == SQLITE_DONE)
        return 1;
    if (rc != SQLITE_ROW)
        return fail();
    fill(kind_, record, stmt, 0, index);
    return 0;
}

int vxdb_txn::read_slots(void *records, int capacity)
{
    if (records == nullptr || capacity < 0)
        return fail();
    int64_t slots = static_cast<int64_t>(kind_.last) - kind_.first + 1;
    int n = slots < capacity ? static_cast<int>(slots) : capacity;
    auto slot = [&](int64_t index) {
        return static_cast<unsigned char *>(records) + static_cast<size_t>(index - kind_.first) * kind_.size;
    };
    for (int i = 0; i < n; ++i) {
        memset(slot(kind_.first + i), 0, kind_.size);
        set_index(kind_, slot(kind_.first + i), kind_.first + i);
    }
    if (db_ == nullptr || n == 0)
        return n;
    vxdb_stmt stmt(db_, "SELECT idx, data FROM records WHERE kind = ?1 AND idx BETWEEN ?2 AND ?3");
    if (!stmt.ok())
        return !writable_ && stmt.prepare_status() == SQLITE_ERROR ? n : fail();
    stmt.bind_text(1, key_);
    stmt.bind_int(2, kind_.first);
    stmt.bind_int(3, static_cast<int64_t>(kind_.first) + n - 1);
    int rc;
    while ((rc = stmt.step()) == SQLITE_ROW) {
        int index = static_cast<int>(stmt.column_int(0));
        fill(kind_, slot(index), stmt, 1, index);
    }
    return rc == SQLITE_DONE ? n : fail();
}

int vxdb_txn::write_at(int index, const void *record)
{
    if (!writable_ || record == nullptr || !in_range(kind_, index))
        return fail();
    std::vector<unsigned char> data(static_cast<const unsigned char *>(record),
                                    static_cast<const unsigned char *>(record) + kind_.size);
    set_index(kind_, data.data(), index);
    vxdb_stmt stmt(db_, INSERT_ROW);
    return insert(stmt, key_, index, data.data(), data.size()) == 0 ? 0 : fail();
}

int vxdb_txn::write(const void *record)
{
    if (record == nullptr || kind_.index_offset == VXDB_NO_INDEX)
        return fail();
    return write_at(index_of(kind_, record), record);
}

int vxdb_txn::remove(int index)
{
    if (!writable_)
        return fail();
    vxdb_stmt stmt(db_, "DELETE FROM records WHERE kind = ?1 AND idx = ?2");
    stmt.bind_text(1, key_);
    stmt.bind_int(2, index);
    return stmt.step() == SQLITE_DONE ? 0 : fail();
}

int vxdb_txn::param_int(const char *key, int def, int *out)
{
    if (key == nullptr || out == nullptr)
        return fail();
    std::string text;
    int found = db_ != nullptr ? vxdb_lookup_param(db_, key, &text) : 0;
    if (found < 0)
        return fail();
    int value = def;
    if (found == 0 || !vxdb_parse_int(text, &value))
        value = def;
    *out = value;
    return 0;
}

namespace {
int run_txn(const char *path, const vxdb_kind &kind, vxdb_txn_fn fn, void *context, const char *table, bool writable)
{
    const char *key = row_key(kind, table);
    if (key == nullptr || fn == nullptr)
        return -1;
    vxdb_session session(path, writable);
    if (session.db == nullptr) {
        if (writable || !vxdb_file_absent(path))
            return -1;
        vxdb_txn txn(nullptr, kind, key, false);
        int rc = fn(txn, context);
        return txn.failed() ? -1 : rc;
    }
    if (writable) {
        vxdb_write_txn write(session.db);
        if (!write.ok())
            return -1;
        vxdb_txn txn(session.db, kind, key, true);
        int rc = fn(txn, context);
        if (txn.failed())
            return -1;
        if (rc != 0)
            return rc;  // rolled back by `write`
        return write.commit();
    }
    if (sqlite3_exec(session.db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return -1;
    vxdb_txn txn(session.db, kind, key, false);
    int rc = fn(txn, context);
    if (sqlite3_exec(session.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(session.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return txn.failed() ? -1 : rc;
}
}  // namespace

int vxdb_update(const char *path, const vxdb_kind &kind, vxdb_txn_fn fn, void *context, const char *table)
{
    return run_txn(path, kind, fn, context, table, true);
}

int vxdb_view(const char *path, const vxdb_kind &kind, vxdb_txn_fn fn, void *context, const char *table)
{
    return run_txn(path, kind, fn, context, table, false);
}
