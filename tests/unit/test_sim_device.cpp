// The rules of the simulated device's storage, on a clock the test moves.
#include "sim/sim_device.h"
#include "sim/sim_module.h"
#include "support/raid_requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {
using namespace std::chrono_literals;

struct device_fixture : ::testing::Test {
    sim_device::clock::time_point now = sim_device::clock::time_point{} + 1h;
    sim_timing timing{1000, 4000};  // format 1 s, rebuild 4 s
    sim_device device{42, timing, [this] { return now; }};

    disk_status disk(int port)
    {
        for (const disk_status &d : device.disk_list())
            if (d.port_id == port)
                return d;
        ADD_FAILURE() << "no port " << port;
        return disk_status{};
    }
    bool listed(int port)
    {
        for (const disk_status &d : device.disk_list())
            if (d.port_id == port)
                return true;
        return false;
    }
    int create(int id, int level, std::initializer_list<int> members)
    {
        return device.create_raid(make_raid_request(id, level, members));
    }
};
}  // namespace

TEST_F(device_fixture, SeededDisksAreConsistentAndReproducible)
{
    std::vector<disk_status> list = device.disk_list();
    ASSERT_EQ(list.size(), 4u);
    int unformatted = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const disk_status &d = list[i];
        EXPECT_EQ(d.port_id, static_cast<int>(i) + 1);
        EXPECT_EQ(d.disk_type, SIM_DISK_TYPE_SATA);
        if (i > 0) {
            EXPECT_GT(d.total_size, list[i - 1].total_size);
        }
        if (d.state == SIM_STATE_UNFORMATTED) {
            ++unformatted;
            EXPECT_EQ(d.used_size + d.free_size, 0u);
            EXPECT_EQ(d.usable, 0);
        } else {
            EXPECT_EQ(d.state, SIM_STATE_NORMAL);
            EXPECT_EQ(d.used_size + d.free_size, d.total_size);
            EXPECT_GT(d.used_size, 0u);
            EXPECT_EQ(d.usable, 1);
        }
    }
    EXPECT_EQ(unformatted, 1);

    sim_device same(42, timing), other(43, timing);
    std::vector<disk_status> again = same.disk_list(), different = other.disk_list();
    ASSERT_EQ(again.size(), list.size());
    EXPECT_EQ(memcmp(again.data(), list.data(), list.size() * sizeof(disk_status)), 0);
    EXPECT_NE(memcmp(different.data(), list.data(), list.size() * sizeof(disk_status)), 0);
}

TEST_F(device_fixture, FormatTakesItsTimeAndEmptiesTheDisk)
{
    int duration = -1;
    EXPECT_EQ(device.start_format(2, &duration), SIM_FORMAT_OK);
    EXPECT_EQ(duration, 1000);
    EXPECT_EQ(disk(2).state, SIM_STATE_FORMATTING);
    EXPECT_EQ(device.start_format(2, &duration), SIM_FORMAT_USING);

    now += 999ms;
    EXPECT_EQ(disk(2).state, SIM_STATE_FORMATTING);
    now += 1ms;
    disk_status d = disk(2);
    EXPECT_EQ(d.state, SIM_STATE_NORMAL);
    EXPECT_EQ(d.used_size, 0u);
    EXPECT_EQ(d.free_size, d.total_size);

    EXPECT_EQ(device.start_format(3, &duration), SIM_FORMAT_OK);  // the unformatted disk
    now += 1s;
    EXPECT_EQ(disk(3).state, SIM_STATE_NORMAL);

    for (int port : {0, 5, 9, 10, 37, -1})
        EXPECT_EQ(device.start_format(port, &duration), SIM_FORMAT_NO_DISK) << port;
}

TEST_F(device_fixture, RaidCreateChecksItsRequestAndRemoveFreesTheMembers)
{
    uint64_t smaller = disk(1).total_size;
    EXPECT_EQ(create(16, 1, {1, 2}), SIM_RAID_BAD_ID);
    EXPECT_EQ(create(9, 1, {1, 2}), SIM_RAID_BAD_ID);
    EXPECT_EQ(create(10, 5, {1, 2}), SIM_RAID_BAD_LEVEL);
    EXPECT_EQ(create(10, 7, {1, 2, 3}), SIM_RAID_BAD_LEVEL);
    EXPECT_EQ(create(10, 10, {1, 2, 3}), SIM_RAID_BAD_LEVEL);
    EXPECT_EQ(create(10, 1, {1, 7}), SIM_RAID_NO_DISK);
    EXPECT_EQ(create(10, 1, {0, 1, 2}), SIM_RAID_NO_DISK);  // bit 0 of the page's mask: port 0
    EXPECT_FALSE(listed(10));

    ASSERT_EQ(create(10, 1, {1, 2}), SIM_RAID_OK);
    disk_status array = disk(10);
    EXPECT_EQ(array.disk_type, SIM_DISK_TYPE_RAID);
    EXPECT_EQ(array.raid_level, 1);
    EXPECT_EQ(array.raid_state, SIM_RAID_NORMAL);
    EXPECT_EQ(array.raid_member_count, 2);
    EXPECT_EQ(array.raid_members[0], 1);
    EXPECT_EQ(array.raid_members[1], 2);
    EXPECT_EQ(array.raid_members[2], 0);
    EXPECT_EQ(array.total_size, smaller);  // a mirror holds what its smallest member holds
    EXPECT_EQ(array.state, SIM_STATE_UNFORMATTED);
    EXPECT_EQ(disk(1).state, SIM_STATE_RAID_MEMBER);
    EXPECT_EQ(disk(1).used_size, 0u);

    EXPECT_EQ(create(10, 0, {3, 4}), SIM_RAID_BAD_ID);  // in use
    EXPECT_EQ(create(11, 0, {2, 3}), SIM_RAID_BUSY);
    int duration = 0;
    EXPECT_EQ(device.start_format(1, &duration), SIM_FORMAT_USING);
    EXPECT_EQ(device.start_format(3, &duration), SIM_FORMAT_OK);
    EXPECT_EQ(create(11, 0, {3, 4}), SIM_RAID_BUSY);  // 3 is being formatted
    now += 1s;
    ASSERT_EQ(create(11, 0, {3, 4}), SIM_RAID_OK);
    EXPECT_EQ(disk(11).total_size, 2 * disk(3).total_size);

    EXPECT_EQ(device.remove_raid(10), SIM_RAID_OK);
    EXPECT_FALSE(listed(10));
    EXPECT_EQ(disk(1).state, SIM_STATE_UNFORMATTED);
    EXPECT_EQ(device.remove_raid(10), SIM_RAID_BAD_ID);
    EXPECT_EQ(device.remove_raid(2), SIM_RAID_BAD_ID);  // a disk is no array
    EXPECT_TRUE(listed(11));
}

TEST_F(device_fixture, RebuildProgressAdvancesWithTime)
{
    ASSERT_EQ(create(12, 1, {1, 2}), SIM_RAID_OK);
    ASSERT_EQ(device.set_hot_spare(4, true), SIM_RAID_OK);
    EXPECT_EQ(disk(4).state, SIM_STATE_HOT_SPARE);
    EXPECT_EQ(device.rebuild_raid(4, 13), SIM_RAID_BAD_ID);
    EXPECT_EQ(device.rebuild_raid(9, 12), SIM_RAID_NO_DISK);

    ASSERT_EQ(device.rebuild_raid(4, 12), SIM_RAID_OK);
    disk_status array = disk(12);
    EXPECT_EQ(array.raid_state, SIM_RAID_REBUILDING);
    EXPECT_EQ(array.raid_progress, 0);
    EXPECT_EQ(array.raid_member_count, 3);
    EXPECT_EQ(array.raid_members[2], 4);
    EXPECT_EQ(disk(4).state, SIM_STATE_RAID_MEMBER);

    now += 1s;
    EXPECT_EQ(disk(12).raid_progress, 25);
    int duration = 0;
    EXPECT_EQ(device.start_format(12, &duration), SIM_FORMAT_USING);
    EXPECT_EQ(device.rebuild_raid(1, 12), SIM_RAID_BUSY);
    now += 2s;
    EXPECT_EQ(disk(12).raid_progress, 75);
    now += 1s;
    array = disk(12);
    EXPECT_EQ(array.raid_state, SIM_RAID_NORMAL);
    EXPECT_EQ(array.raid_progress, 0);
}

TEST_F(device_fixture, HotSpareIsReservedUntilReleased)
{
    ASSERT_EQ(device.set_hot_spare(3, true), SIM_RAID_OK);
    EXPECT_EQ(device.set_hot_spare(3, true), SIM_RAID_OK);
    int duration = 0;
    EXPECT_EQ(device.start_format(3, &duration), SIM_FORMAT_USING);
    EXPECT_EQ(create(10, 0, {3, 4}), SIM_RAID_BUSY);
    EXPECT_EQ(device.set_hot_spare(3, false), SIM_RAID_OK);
    EXPECT_EQ(device.set_hot_spare(3, false), SIM_RAID_BAD_ID);
    EXPECT_EQ(disk(3).state, SIM_STATE_UNFORMATTED);
    EXPECT_EQ(device.set_hot_spare(7, true), SIM_RAID_NO_DISK);
    ASSERT_EQ(create(10, 0, {3, 4}), SIM_RAID_OK);
    EXPECT_EQ(device.set_hot_spare(3, true), SIM_RAID_BUSY);
    EXPECT_EQ(device.set_hot_spare(10, true), SIM_RAID_NO_DISK);
}

TEST_F(device_fixture, SettingsApplyToDisksAndArrays)
{
    EXPECT_TRUE(device.set_disk({2, 1, 5, 0}));
    EXPECT_EQ(disk(2).property, 1);
    EXPECT_EQ(disk(2).group, 5);
    EXPECT_FALSE(device.set_disk({9, 1, 5, 0}));
    ASSERT_EQ(create(10, 0, {3, 4}), SIM_RAID_OK);
    EXPECT_TRUE(device.set_disk({10, 0, 3, 0}));
    EXPECT_EQ(disk(10).group, 3);
}

TEST(sim_mail_link, TokenMustMatchWhole)
{
    const std::string token = "a16d35b650954358";
    auto valid = [&](const char *text) { return sim_mail_link_valid(text, strlen(text), token); };
    EXPECT_TRUE(valid("token=a16d35b650954358"));
    EXPECT_TRUE(valid("user=x&token=a16d35b650954358&lang=en"));
    EXPECT_TRUE(valid("token=bad&token=a16d35b650954358"));
    EXPECT_FALSE(valid("token=a16d35b65095435"));
    EXPECT_FALSE(valid("token=a16d35b6509543589"));
    EXPECT_FALSE(valid("TOKEN=a16d35b650954358"));
    EXPECT_FALSE(valid("a16d35b650954358"));
    EXPECT_FALSE(valid(""));
    EXPECT_FALSE(sim_mail_link_valid("token=", 6, ""));
    // The payload is a fixed 256-byte field: nothing past its end is read.
    char field[24];
    memcpy(field, "token=a16d35b650954358xx", sizeof field);
    EXPECT_FALSE(sim_mail_link_valid(field, 22 - 1, token));
    EXPECT_TRUE(sim_mail_link_valid(field, 22, token));
}
