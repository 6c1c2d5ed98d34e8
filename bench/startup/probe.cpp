// What every request process pays before its handler's own work: start-up of the program with
// json-c, SQLite and the C++ run-time in it, one database read and one JSON answer. Built three
// ways (dynamic, mixed, static) to compare the cost of linking.
#include <json-c/json.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    const char *db_path = getenv("PROBE_DB");
    std::string value = "0";
    sqlite3 *db = nullptr;
    if (db_path != nullptr && sqlite3_open_v2(db_path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT value FROM params WHERE key = ?1", -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, "max_cameras", -1, SQLITE_STATIC);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, "max_cameras", json_object_new_int(atoi(value.c_str())));
    printf("Content-type: application/json\r\n\r\n%s", json_object_to_json_string(answer));
    json_object_put(answer);
    return 0;
}
