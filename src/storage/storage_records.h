// Records of the disk pages: the main service's disk status list, the database's disk table, and
// the payloads of the disk, RAID and format requests.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MAX_DISK_PORTS = 36;    // disk slots 1..36
constexpr int MAX_RAID_MEMBERS = 16;

// One disk, network disk or RAID array as the main service reports it (reply 8433).
struct disk_status {
    int32_t port_id;  // 1..36; a RAID array reports its RAID id here
    char vendor[64];
    char address[64];    // network disks: server address
    char directory[64];  // network disks: shared directory
    char reserved1[64];
    int32_t state;
    int32_t usable;
    int32_t reserved2;
    uint64_t total_size;  // bytes
    uint64_t used_size;
    uint64_t free_size;
    int32_t disk_type;
    int32_t group;
    int32_t property;
    int32_t reserved3;
    int32_t raid_level;
    int32_t raid_state;
    int32_t raid_progress;
    int32_t raid_member_count;               // entries of raid_members in use
    int32_t raid_members[MAX_RAID_MEMBERS];  // member ports, 0 = none
    char user[33];                           // network disk account
    char password[33];
    char reserved4[6];
};
static_assert(sizeof(disk_status) == 464);
static_assert(offsetof(disk_status, vendor) == 4 && offsetof(disk_status, address) == 68);
static_assert(offsetof(disk_status, directory) == 132 && offsetof(disk_status, state) == 260);
static_assert(offsetof(disk_status, usable) == 264 && offsetof(disk_status, total_size) == 272);
static_assert(offsetof(disk_status, used_size) == 280 && offsetof(disk_status, free_size) == 288);
static_assert(offsetof(disk_status, disk_type) == 296 && offsetof(disk_status, group) == 300);
static_assert(offsetof(disk_status, property) == 304 && offsetof(disk_status, raid_level) == 312);
static_assert(offsetof(disk_status, raid_state) == 316 && offsetof(disk_status, raid_progress) == 320);
static_assert(offsetof(disk_status, raid_member_count) == 324 && offsetof(disk_status, raid_members) == 328);
static_assert(offsetof(disk_status, user) == 392 && offsetof(disk_status, password) == 425);

// Disk types of the network disks.
constexpr int DISK_TYPE_NFS = 3;
constexpr int DISK_TYPE_SMB = 10;

// A disk of the configuration database (index: the port). Only network disks are configured here
// (enable 1); the layout beyond the fields below is ours (natural alignment, 348 bytes).
struct disk_record {
    int32_t id;      // the port
    int32_t enable;  // 1: a configured network disk
    char vendor[64];
    char address[64];
    char directory[128];
    int32_t type;
    int32_t group;
    int32_t property;
    int32_t reserved;
    char user[33];
    char password[33];
};
static_assert(sizeof(disk_record) == 348);

// Request 3435: the settings of one disk.
struct disk_settings {
    int32_t port;
    int32_t property;
    int32_t group;
    int32_t is_private;
};
static_assert(sizeof(disk_settings) == 16);

// Requests 3420 (create) and 3421 (remove) of a RAID array.
struct raid_request {
    int32_t raid_id;  // create 10..15, remove 10..16
    int32_t enable;
    int32_t level;
    int32_t reserved1[2];
    int32_t member_count;                    // as the page gave it
    int32_t members[MAX_RAID_MEMBERS];       // member ports in ascending order
    int32_t reserved2[4];
};
static_assert(sizeof(raid_request) == 104);
static_assert(offsetof(raid_request, member_count) == 20 && offsetof(raid_request, members) == 24);

// Request 3425: rebuild an array onto a disk.
struct rebuild_request {
    int32_t disk_port;
    int32_t raid_port;
};
static_assert(sizeof(rebuild_request) == 8);

// Detail block of the format's operation-log record (detail kind 102).
struct format_detail {
    unsigned char reserved[64];
    int32_t port;
    int32_t result;  // 1 formatted, -1 not
};
static_assert(sizeof(format_detail) == 72 && offsetof(format_detail, port) == 64);
constexpr int FORMAT_DETAIL_KIND = 102;
