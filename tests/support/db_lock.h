// A lock on a database file held by the test process, as another process of the device would hold it.
#pragma once

#include <sqlite3.h>

#include <string>

// Another connection holding the file: with exclusive locking even readers of the write-ahead log
// must wait for it.
struct lock_holder {
    sqlite3 *db = nullptr;
    explicit lock_holder(const std::string &file)
    {
        sqlite3_open(file.c_str(), &db);
        sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                         "INSERT OR REPLACE INTO params(key, value) VALUES('holder', '1');",
                     nullptr, nullptr, nullptr);
    }
    ~lock_holder()
    {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};
