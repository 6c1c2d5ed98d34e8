// The storage module: its web resources, their handlers, the reply routines and the module's reply
// dispatcher, which every request of the module names in cgi_start_ipc.
#pragma once

#include "link/web_res.h"

extern const web_table storage_table;

// Routes a reply of the main service to its reply routine by reply code (request code + 5000), with
// the number of whole records of that reply's size. Unknown codes are ignored.
void on_storage_ipc_callback(void *unused, const void *header, const void *payload);

// Disks and their settings (storage_disk.cpp).
void on_get_disk_info(const char *data);        // "/6100"
void on_set_disk_info(const char *data);        // "/6101"
void on_get_storage_info_cb(int count, const void *payload);  // 8433: disk status records

// Formatting (storage_format.cpp).
void on_format_disk(const char *data);          // "/6102"
void on_get_format_progress(const char *data);  // "/6103"
void on_format_disk_cb(int count, const void *payload);  // 8434: one result

// RAID arrays and hot spares (storage_raid.cpp). Each reply carries one result, 0 = success.
void on_create_raid(const char *data);          // "/6104"
void on_remove_raid(const char *data);          // "/6105"
void on_set_hot_space(const char *data);        // "/6106"
void on_rebuild_raid(const char *data);         // "/6107"
void on_get_raid_mode(const char *data);        // "/6108"
void on_set_raid_mode(const char *data);        // "/6109"
void on_create_raid_cb(int count, const void *payload);   // 8420
void on_remove_raid_cb(int count, const void *payload);   // 8421, 8496
void on_create_space_cb(int count, const void *payload);  // 8423
void on_remove_space_cb(int count, const void *payload);  // 8424
void on_rebuild_raid_cb(int count, const void *payload);  // 8425
