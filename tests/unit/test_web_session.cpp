// The session store: which sessions are live, which one a full store drops, when "last seen" is
// written, and that a store that cannot be read is never taken for one without the session.
#include "link/web_session.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_record.h"
#include "vxdb_fixture.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {
constexpr time_t NOW = 1'700'000'000;

std::string id_of(int n)
{
    char id[WEB_SESSION_ID_SIZE];
    snprintf(id, sizeof id, "%032d", n);
    return id;
}

web_session session(int n, time_t created, time_t last_seen, int lifetime_s = WEB_SESSION_MAX_S)
{
    web_session s{};
    s.user_id = n % 100;
    snprintf(s.id, sizeof s.id, "%s", id_of(n).c_str());
    snprintf(s.name, sizeof s.name, "user%d", n);
    snprintf(s.address, sizeof s.address, "10.0.0.%d", n % 250);
    s.type = 1;
    s.remote_settings = 1;
    s.lifetime_s = lifetime_s;
    s.created = created;
    s.last_seen = last_seen;
    return s;
}

int store(web_session s)
{
    return web_session_store(&s) == 0 ? s.slot : -1;
}

web_session stored_slot(int slot)
{
    web_session s{};
    vxdb_read(VXDB_MAIN_DB, *vxdb_find_kind("web_session"), slot, &s);
    return s;
}

int find(int n, time_t now = NOW)
{
    web_session found{};
    return web_session_find(id_of(n).c_str(), now, &found);
}
}  // namespace

using web_session_test = vxdb_test;

TEST_F(web_session_test, FindsALiveSessionByItsWholeIdOnly)
{
    ASSERT_EQ(store(session(5, NOW - 10, NOW - 10)), 0);
    web_session found{};
    ASSERT_EQ(web_session_find(id_of(5).c_str(), NOW, &found), 0);
    EXPECT_STREQ(found.name, "user5");
    EXPECT_EQ(found.slot, 0);
    EXPECT_EQ(found.type, 1);

    const std::string id = id_of(5);
    for (const std::string &other : {id.substr(0, 31), id + "0", std::string(""), id_of(6), std::string(40, '0')})
        EXPECT_EQ(web_session_find(other.c_str(), NOW, &found), 1) << other;
    EXPECT_EQ(web_session_find(nullptr, NOW, &found), 1);
}

TEST_F(web_session_test, ExpiresWhenIdleOrPastItsLifetime)
{
    struct row {
        time_t created, last_seen;
        int lifetime_s;
        int idle_key;  // 0: not set
        int expected;
    };
    const row rows[] = {
        {NOW - 100, NOW - 1800, WEB_SESSION_MAX_S, 0, 0},
        {NOW - 100, NOW - 1801, WEB_SESSION_MAX_S, 0, 1},
        {NOW - 1000, NOW - 300, WEB_SESSION_MAX_S, 299, 1},
        {NOW - 1000, NOW - 300, WEB_SESSION_MAX_S, 300, 0},
        {NOW - 1000, NOW - 300, WEB_SESSION_MAX_S, -5, 0},  // an unusable key counts as unset
        {NOW - 43200, NOW, WEB_SESSION_MAX_S, 0, 0},
        {NOW - 43201, NOW, WEB_SESSION_MAX_S, 0, 1},
        {NOW - 601, NOW, 600, 0, 1},
        {NOW - 600, NOW, 600, 0, 0},
    };
    int n = 0;
    for (const row &r : rows) {
        vxdb_close_all();
        std::remove(file(VXDB_MAIN_DB).c_str());
        if (r.idle_key != 0)
            set_param_int(VXDB_MAIN_DB, "web_session_idle_s", r.idle_key);
        ASSERT_EQ(store(session(n, r.created, r.last_seen, r.lifetime_s)), 0);
        EXPECT_EQ(find(n), r.expected) << "row " << n;
        ++n;
    }
}

TEST_F(web_session_test, AFullStoreDropsTheSessionSeenLongestAgoAndReusesExpiredOnesFirst)
{
    for (int n = 0; n < WEB_SESSION_MAX; ++n)
        ASSERT_EQ(store(session(n, NOW - 500, NOW - 100 + (n * 7) % WEB_SESSION_MAX)), n);
    // Session n was last seen (7n mod 64) seconds after the first: n = 0 is the oldest.
    ASSERT_EQ(store(session(100, NOW, NOW)), 0);
    EXPECT_EQ(find(0), 1);
    EXPECT_EQ(find(100), 0);
    // Now the session at offset 1 (n = 55, as 7 * 55 = 385 = 6 * 64 + 1) is the oldest.
    ASSERT_EQ(store(session(101, NOW, NOW)), 55);
    EXPECT_EQ(find(55), 1);

    // An expired session's slot goes before any live one.
    web_session stale = stored_slot(30);
    stale.last_seen = NOW - 5000;
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, *vxdb_find_kind("web_session"), &stale), 0);
    ASSERT_EQ(store(session(102, NOW, NOW)), 30);
    for (int n : {1, 2, 63, 100, 101, 102})
        EXPECT_EQ(find(n), 0) << n;
}

TEST_F(web_session_test, LastSeenIsWrittenAtMostOnceAMinute)
{
    ASSERT_EQ(store(session(1, NOW - 200, NOW - 59)), 0);
    EXPECT_EQ(find(1), 0);
    EXPECT_EQ(stored_slot(0).last_seen, NOW - 59);
    EXPECT_EQ(find(1, NOW + 1), 0);
    EXPECT_EQ(stored_slot(0).last_seen, NOW + 1);
    EXPECT_EQ(find(1, NOW + 2), 0);
    EXPECT_EQ(stored_slot(0).last_seen, NOW + 1);
}

TEST_F(web_session_test, AStoreThatCannotBeReadIsAFailureNotAMissingSession)
{
    ASSERT_EQ(store(session(1, NOW, NOW)), 0);
    vxdb_close_all();
    vxdb_set_busy_timeout_ms(100);
    {
        sqlite3 *db = nullptr;
        sqlite3_open(file(VXDB_MAIN_DB).c_str(), &db);
        sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM params;", nullptr, nullptr,
                     nullptr);
        EXPECT_EQ(find(1), -1);
        web_session blocked = session(2, NOW, NOW);
        EXPECT_EQ(web_session_store(&blocked), -1);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    vxdb_set_busy_timeout_ms(0);
    EXPECT_EQ(find(1), 0);

    vxdb_close_all();
    std::ofstream(file(VXDB_MAIN_DB), std::ios::trunc) << std::string(4096, 'x');
    EXPECT_EQ(find(1), -1);
}

TEST_F(web_session_test, SessionsFollowTheirAccount)
{
    web_session other = session(2, NOW, NOW);
    other.user_id = 8;
    for (int n : {1, 3})
        store(session(n, NOW, NOW));  // user 1 and user 3
    web_session again = session(4, NOW, NOW);
    again.user_id = 1;
    store(again);
    store(other);

    ASSERT_EQ(web_session_account_changed(1, 1, 0, 0), 0);
    web_session found{};
    ASSERT_EQ(web_session_find(id_of(1).c_str(), NOW, &found), 0);
    EXPECT_EQ(found.type, 0);
    EXPECT_EQ(found.remote_settings, 0);
    ASSERT_EQ(web_session_find(id_of(3).c_str(), NOW, &found), 0);
    EXPECT_EQ(found.type, 1);

    ASSERT_EQ(web_session_account_changed(1, 0, 0, 0), 0);
    EXPECT_EQ(find(1), 1);
    EXPECT_EQ(find(4), 1);
    EXPECT_EQ(find(3), 0);
    EXPECT_EQ(find(2), 0);
}
