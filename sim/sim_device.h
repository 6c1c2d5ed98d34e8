// The simulated device's storage: local disks, RAID arrays, and the jobs that run on them (formats,
// rebuilds). All of it lives in memory for the simulator's lifetime and is guarded by one mutex, so
// any number of connection threads may call in at once.
//
// Jobs are not threads: a format or a rebuild records when it started, and every call first brings
// the state up to the current time (a format that has run its time is done, a rebuild's progress is
// the share of its time that has passed). Tests pass their own clock.
#pragma once

#include "storage/storage_records.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Numbers this main service reports; the web pages show them, the CGI passes them through.
constexpr int SIM_DISK_TYPE_SATA = 0;
constexpr int SIM_DISK_TYPE_RAID = 4;

constexpr int SIM_STATE_NORMAL = 0;
constexpr int SIM_STATE_UNFORMATTED = 1;
constexpr int SIM_STATE_OFFLINE = 2;  // never reported here: the CGI gives it to configured network disks
constexpr int SIM_STATE_FORMATTING = 3;
constexpr int SIM_STATE_RAID_MEMBER = 4;
constexpr int SIM_STATE_HOT_SPARE = 5;

constexpr int SIM_RAID_NORMAL = 0;
constexpr int SIM_RAID_REBUILDING = 1;

constexpr int SIM_RAID_FIRST_ID = 10;  // arrays are created with ids 10..15
constexpr int SIM_RAID_LAST_ID = 15;

// Results of the RAID and hot-spare requests (0 = done).
constexpr int SIM_RAID_OK = 0;
constexpr int SIM_RAID_BAD_ID = 1;      // id out of range, in use (create) or unknown (remove, rebuild)
constexpr int SIM_RAID_BUSY = 2;        // a disk is in an array, a hot spare, or being formatted/rebuilt
constexpr int SIM_RAID_NO_DISK = 3;     // a port that is no local disk of the device
constexpr int SIM_RAID_BAD_LEVEL = 4;   // level not supported, or too few members for it

// Results of a format (reply 8434), as the disk page reads them.
constexpr int SIM_FORMAT_OK = 0;
constexpr int SIM_FORMAT_USING = 1;
constexpr int SIM_FORMAT_NO_DISK = -1;

struct sim_timing {
    int format_ms = 3000;    // how long a format takes before its reply goes out
    int rebuild_ms = 60000;  // how long a rebuild takes from 0 to 100 %
};

class sim_device {
public:
    using clock = std::chrono::steady_clock;

    // Four SATA disks on ports 1..4 (1, 2, 4 and 8 TB; the 4 TB one unformatted), with used sizes
    // and serial numbers drawn from `seed`.
    sim_device(uint64_t seed, sim_timing timing, std::function<clock::time_point()> now = clock::now);

    // 3433: every disk and array in port order.
    std::vector<disk_status> disk_list();
    // 3435: property and group of a disk or array. False when the port is not the device's.
    bool set_disk(const disk_settings &settings);
    // 3434: starts a format. SIM_FORMAT_OK with the time until it ends in *duration_ms, or
    // SIM_FORMAT_USING / SIM_FORMAT_NO_DISK.
    int start_format(int port, int *duration_ms);
    // 3420 / 3421: SIM_RAID_* results.
    int create_raid(const raid_request &request);
    int remove_raid(int raid_id);
    // 3423 / 3424.
    int set_hot_spare(int port, bool on);
    // 3425: rebuilds the array onto the disk (a member, a hot spare or a free disk).
    int rebuild_raid(int disk_port, int raid_id);

private:
    struct volume {
        int port = 0;  // disk slot 1..36, or RAID id
        bool is_raid = false;
        std::string vendor;
        uint64_t total_size = 0;
        uint64_t used_size = 0;
        bool formatted = false;
        int group = 1;
        int property = 0;
        int member_of = 0;  // disks: the RAID id of their array
        bool hot_spare = false;
        int raid_level = 0;        // arrays
        std::vector<int> members;  // arrays: member ports, ascending
        bool formatting = false;
        clock::time_point format_end{};
        bool rebuilding = false;
        clock::time_point rebuild_start{};
    };

    void catch_up(clock::time_point now);  // finishes jobs whose time has come; lock held
    volume *find(int port);
    bool busy(const volume &v) const { return v.formatting || v.rebuilding; }
    disk_status status_of(const volume &v, clock::time_point now) const;

    std::mutex lock_;
    std::vector<volume> volumes_;  // ascending ports
    sim_timing timing_;
    std::function<clock::time_point()> now_;
};
