// Requests of the storage pages to the main service, and what their operation-log records say.
#pragma once

#include "link/link_codes.h"

constexpr int32_t DISK_LIST = 3433;      // reply: disk_status records
constexpr int32_t DISK_FORMAT = 3434;    // int32 port; reply: int32 result
constexpr int32_t DISK_SETTINGS = 3435;  // disk_settings, send only
constexpr int32_t RAID_CREATE = 3420;    // raid_request; reply: int32 result
constexpr int32_t RAID_REMOVE = 3421;    // raid_request (id); reply: int32 result under 8421 or 8496
constexpr int32_t RAID_REMOVED = 8496;   // the second reply code of RAID_REMOVE
constexpr int32_t HOT_SPARE_ON = 3423;   // int32 port; reply: int32 result
constexpr int32_t HOT_SPARE_OFF = 3424;
constexpr int32_t RAID_REBUILD = 3425;   // rebuild_request; reply: int32 result
constexpr int32_t NAS_SEARCH = 3440;     // search of a network server's shared directories
constexpr int32_t ESATA_FORMAT = 3535;   // format of the eSATA disk

constexpr oplog_kind LOG_DISK_SETTINGS = {4, 204, 919};
constexpr oplog_kind LOG_DISK_FORMAT = {4, 207, 900};
