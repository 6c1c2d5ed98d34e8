// The user and disk tables of the configuration database.
#include "storage/disk_db.h"
#include "support/device_root.h"
#include "unit/vxdb_fixture.h"
#include "system/user_db.h"
#include "vxdb/vxdb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
user_record account(const std::string &name)
{
    user_record u{};
    u.id = -1;
    u.enable = 1;
    strncpy(u.name, name.c_str(), sizeof u.name - 1);
    strcpy(u.password, "0123456789abcdef0123456789abcdef");
    return u;
}
}  // namespace

TEST(UserTable, FullTableRefusesAnAddition)
{
    device_root db;
    for (int i = 0; i < MAX_USERS; ++i) {
        const std::string number = std::to_string(i);  // named: see tests/support/catalogue.cpp
        user_record u = account("u" + number);
        u.id = i;
        ASSERT_EQ(write_user(VXDB_MAIN_DB, &u), 0);
    }
    EXPECT_EQ(read_user_count(VXDB_MAIN_DB), MAX_USERS);
    user_record extra = account("extra");
    EXPECT_EQ(add_user(VXDB_MAIN_DB, &extra), USER_TABLE_FULL);
    EXPECT_EQ(extra.id, -1);
}

TEST(UserTable, LookupByNameMatchesEnabledSlotsOnTheirFirst31Characters)
{
    device_root db;
    std::string long_name(31, 'n');
    user_record a = account(long_name + "-first");
    ASSERT_EQ(add_user(VXDB_MAIN_DB, &a), 0);
    user_record deleted{};
    deleted.id = 5;
    ASSERT_EQ(write_user(VXDB_MAIN_DB, &deleted), 0);  // empty name, not enabled

    user_record found{};
    found.id = -1;
    EXPECT_EQ(read_user_by_name(VXDB_MAIN_DB, (long_name + "-second").c_str(), &found), 0);
    EXPECT_EQ(found.id, 0);

    user_record none{};
    none.id = -1;
    EXPECT_EQ(read_user_by_name(VXDB_MAIN_DB, "", &none), 1);  // never a deleted slot
    EXPECT_EQ(none.id, -1);
    EXPECT_EQ(read_user_by_name(VXDB_MAIN_DB, std::string(30, 'n').c_str(), &none), 1);
}

TEST(DiskTable, RecordsByPort)
{
    device_root db;
    disk_record d{};
    EXPECT_EQ(read_disk(VXDB_MAIN_DB, &d, 9), 1);
    EXPECT_EQ(d.id, 9);
    d.enable = 1;
    d.type = DISK_TYPE_NFS;
    strcpy(d.address, "192.0.2.10");
    ASSERT_EQ(write_disk(VXDB_MAIN_DB, &d), 0);
    d.id = 2;
    ASSERT_EQ(write_disk(VXDB_MAIN_DB, &d), 0);

    disk_record all[MAX_DISK_PORTS + 1];
    int count = 0;
    EXPECT_EQ(read_disks(VXDB_MAIN_DB, all, MAX_DISK_PORTS + 1, &count), MAX_DISK_PORTS + 1);
    EXPECT_EQ(all[2].id, 2);
    EXPECT_EQ(all[2].enable, 1);
    EXPECT_EQ(all[3].id, 3);
    EXPECT_EQ(all[3].enable, 0);  // never written
    EXPECT_STREQ(all[9].address, "192.0.2.10");
    d.id = 37;
    EXPECT_EQ(write_disk(VXDB_MAIN_DB, &d), -1);
}

// Another process holding the file past the time-out: every read of the tables reports the failure
// instead of an empty table, and neither an addition nor a change writes anything.
TEST(AccountAndDiskTables, LockedPastTheTimeOutIsAFailureAndWritesNothing)
{
    device_root db;
    user_record admin = account("admin");
    admin.id = 0;
    ASSERT_EQ(write_user(VXDB_MAIN_DB, &admin), 0);
    vxdb_close_all();
    vxdb_set_busy_timeout_ms(50);
    {
        lock_holder holder(db.file(VXDB_MAIN_DB));
        user_record u{}, slots[MAX_USERS];
        disk_record d{}, disks[MAX_DISK_PORTS + 1];
        int count = 7;
        EXPECT_EQ(read_user_count(VXDB_MAIN_DB), USER_DB_FAILED);
        EXPECT_EQ(read_user_by_name(VXDB_MAIN_DB, "admin", &u), USER_DB_FAILED);
        EXPECT_EQ(read_user(VXDB_MAIN_DB, &u, 0), USER_DB_FAILED);
        EXPECT_EQ(read_users(VXDB_MAIN_DB, slots, MAX_USERS, &count), USER_DB_FAILED);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(read_disk(VXDB_MAIN_DB, &d, 3), -1);
        EXPECT_EQ(read_disks(VXDB_MAIN_DB, disks, MAX_DISK_PORTS + 1, &count), -1);
        user_record carol = account("carol");
        EXPECT_EQ(add_user(VXDB_MAIN_DB, &carol), USER_DB_FAILED);
        EXPECT_EQ(carol.id, -1);
        bool called = false;
        EXPECT_EQ(change_user(VXDB_MAIN_DB, 0, [&](user_record &) { return called = true, 0; }, nullptr), USER_DB_FAILED);
        EXPECT_FALSE(called);
    }
    vxdb_set_busy_timeout_ms(0);
    vxdb_close_all();
    user_record kept{};
    EXPECT_EQ(read_user(VXDB_MAIN_DB, &kept, 0), 0);
    EXPECT_STREQ(kept.name, "admin");
    EXPECT_EQ(read_user_count(VXDB_MAIN_DB), 1);
}

// What is missing reads as not stored: no file, or a slot never written.
TEST(AccountAndDiskTables, MissingFileOrSlotReadsAsNotStored)
{
    device_root db;
    user_record u{};
    disk_record d{}, disks[MAX_DISK_PORTS + 1];
    int count = -1;
    EXPECT_EQ(read_user_count(VXDB_MAIN_DB), 0);
    EXPECT_EQ(read_user_by_name(VXDB_MAIN_DB, "admin", &u), 1);
    EXPECT_EQ(read_user(VXDB_MAIN_DB, &u, 4), 1);
    EXPECT_EQ(u.id, 4);
    EXPECT_EQ(read_disk(VXDB_MAIN_DB, &d, 3), 1);
    EXPECT_EQ(read_disks(VXDB_MAIN_DB, disks, MAX_DISK_PORTS + 1, &count), MAX_DISK_PORTS + 1);
    EXPECT_EQ(disks[3].enable, 0);
    EXPECT_EQ(change_user(VXDB_MAIN_DB, 4, [](user_record &) { return 0; }, nullptr), USER_NOT_IN_USE);
    EXPECT_EQ(read_user(VXDB_MAIN_DB, &u, 4), 1);  // the file now exists: the slot is still free
}
