// The user and disk tables of the configuration database.
#include "storage/disk_db.h"
#include "support/device_root.h"
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
