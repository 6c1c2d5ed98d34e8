#include "vxdb/vxdb_param.h"

#include "vxdb/vxdb_conn.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// The stored text of `key` into `value`; false when the file, table or key is missing, or the file
// cannot be read. A NULL value (only another tool can store one) counts as missing.
bool lookup(const char *path, const char *key, std::string *value)
{
    if (key == nullptr)
        return false;
    vxdb_session session(path, false);
    return vxdb_lookup_param(session.db, key, value) == 1;
}

// The stored text of `key`: 1 with it in *value, 0 when the file, table or key is missing, -1 when
// the file is there but cannot be read.
int checked_lookup(const char *path, const char *key, std::string *value)
{
    if (key == nullptr || path == nullptr || path[0] == '\0')
        return -1;
    vxdb_session session(path, false);
    if (session.db == nullptr)
        return vxdb_file_absent(path) ? 0 : -1;  // a file that cannot be opened is no missing key
    return vxdb_lookup_param(session.db, key, value);
}

// `text` into `buffer`, cut to size - 1 characters (and at an embedded NUL), always terminated.
void copy_cut(const std::string &text, char *buffer, size_t size)
{
    size_t n = strnlen(text.c_str(), size - 1);
    memcpy(buffer, text.c_str(), n);
    buffer[n] = '\0';
}

int store(const char *path, const char *key, const char *value)
{
    if (key == nullptr || value == nullptr)
        return -1;
    vxdb_session session(path, true);
    vxdb_write_txn txn(session.db);
    vxdb_stmt stmt(session.db, "INSERT OR REPLACE INTO params(key, value) VALUES(?1, ?2)");
    stmt.bind_text(1, key);
    stmt.bind_text(2, value);
    if (!txn.ok() || stmt.step() != SQLITE_DONE)
        return -1;
    return txn.commit();
}
}  // namespace

int get_param_int(const char *path, const char *key, int def)
{
    std::string text;
    int value = 0;
    if (lookup(path, key, &text) && vxdb_parse_int(text, &value))
        return value;
    return def;
}

int get_param_int_checked(const char *path, const char *key, int def, int *out)
{
    if (out == nullptr)
        return -1;
    std::string text;
    const int found = checked_lookup(path, key, &text);
    if (found < 0)
        return -1;
    int value = def;
    if (found == 0 || !vxdb_parse_int(text, &value))
        value = def;
    *out = value;
    return 0;
}

int get_param_value_checked(const char *path, const char *key, const char *def, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return -1;
    std::string text;
    const int found = checked_lookup(path, key, &text);
    if (found < 0)
        return -1;
    if (found == 0)
        text = def != nullptr ? def : "";
    copy_cut(text, buffer, size);
    return 0;
}

int get_param_value(const char *path, const char *key, char *buffer, size_t size, const char *def)
{
    if (buffer == nullptr || size == 0)
        return -1;
    std::string text;
    bool found = lookup(path, key, &text);
    if (!found)
        text = (def != nullptr) ? def : "";
    copy_cut(text, buffer, size);
    return found ? 0 : -1;
}

int set_param_int(const char *path, const char *key, int value)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return store(path, key, text);
}

int set_param_value(const char *path, const char *key, const char *value)
{
    return store(path, key, value);
}

int check_param_key(const char *path, const char *key)
{
    return lookup(path, key, nullptr) ? 0 : 1;
}

int add_param_value(const char *path, const char *key, const char *value)
{
    return store(path, key, value);
}

int vxdb_param_text(const char *path, const char *key, std::string *value)
{
    return lookup(path, key, value) ? 0 : -1;
}

int vxdb_param_list(const char *path, void (*visit)(const char *key, const char *value, void *context),
                    void *context)
{
    vxdb_session session(path, false);
    vxdb_stmt stmt(session.db, "SELECT key, value FROM params WHERE value IS NOT NULL ORDER BY key");
    if (!stmt.ok())
        return -1;
    int count = 0;
    int rc;
    while ((rc = stmt.step()) == SQLITE_ROW) {
        const char *key = stmt.column_text(0);
        const char *value = stmt.column_text(1);
        if (visit != nullptr)
            visit(key ? key : "", value ? value : "", context);
        ++count;
    }
    return rc == SQLITE_DONE ? count : -1;
}

int vxdb_lookup_param(sqlite3 *db, const char *key, std::string *value)
{
    vxdb_stmt stmt(db, "SELECT value FROM params WHERE key = ?1");
    if (!stmt.ok())
        return stmt.prepare_status() == SQLITE_ERROR ? 0 : -1;  // SQLITE_ERROR: no params table yet
    stmt.bind_text(1, key);
    int rc = stmt.step();
    if (rc == SQLITE_DONE)
        return 0;
    if (rc != SQLITE_ROW)
        return -1;
    const char *text = stmt.column_text(0);
    if (text == nullptr)
        return 0;
    if (value != nullptr)
        value->assign(text);
    return 1;
}

bool vxdb_parse_int(const std::string &text, int *value)
{
    const char *start = text.c_str();
    char *end = nullptr;
    errno = 0;
    long parsed = strtol(start, &end, 10);
    if (end == start || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (*end != '\0')
        return false;
    *value = static_cast<int>(parsed);
    return true;
}
