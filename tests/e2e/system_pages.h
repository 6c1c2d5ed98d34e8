// Shared pieces of the end-to-end tests of the log-in and user pages: a database the test prepares
// with the program's own functions and accounts (the requests and the tables of rows: page_table.h).
#pragma once

#include "e2e/page_table.h"
#include "support/device_root.h"
#include "system/user_db.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace system_pages {

// A hash as the log-in page computes it.
inline const std::string HASH = "0123456789abcdef0123456789abcdef";

// A private root whose databases this test process reads and writes directly.
using device = device_root;

// An account in use in slot `id`.
inline user_record account(int id, const std::string &name, const std::string &hash = HASH, int type = 0)
{
    user_record u{};
    u.id = id;
    u.enable = 1;
    strncpy(u.name, name.c_str(), sizeof u.name - 1);
    strncpy(u.password, hash.c_str(), sizeof u.password - 1);
    u.type = type;
    return u;
}

// An account whose every right differs from the others, so that a key in the wrong place shows:
// the twenty flags are 11 to 30 in record order, permission 7, remote permission -1.
inline user_record account_with_rights(int id, const std::string &name, int type)
{
    user_record u = account(id, name, HASH, type);
    // localLiveView .. remoteShutdown lie one after the other in the record.
    for (int32_t i = 0; i < 20; ++i) {
        const int32_t flag = 11 + i;
        char *field = reinterpret_cast<char *>(&u) + offsetof(user_record, localLiveView) + i * sizeof flag;
        memcpy(field, &flag, sizeof flag);
    }
    u.permission = 7;
    u.remotePermission = -1;
    strcpy(u.localliveview, "1100");
    strcpy(u.localplayback, "1010");
    strcpy(u.remoteliveview, "0001");
    strcpy(u.remoteplayback, "1111");
    return u;
}

inline void store(const user_record &u)
{
    ASSERT_EQ(write_user(VXDB_MAIN_DB, &u), 0) << u.name;
}

inline user_record stored(int id)
{
    vxdb_close_all();
    user_record u{};
    read_user(VXDB_MAIN_DB, &u, id);
    return u;
}

}  // namespace system_pages
