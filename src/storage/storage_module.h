// The storage module: its web resources and their handlers, its reply dispatcher (which every request
// of the module names), the reply routes of each source file, and its long waits.
#pragma once

#include "link/web_request.h"
#include "link/web_res.h"

extern const web_table storage_table;
extern const cgi_wait_table storage_waits;

// Routes a reply of the main service to the routine of its reply code (storage_ipc.cpp).
void on_storage_ipc_callback(void *unused, const void *header, const void *payload);
extern const cgi_reply_table storage_disk_replies;
extern const cgi_reply_table storage_format_replies;
extern const cgi_reply_table storage_raid_replies;

// Disks and their settings (storage_disk.cpp).
void on_get_disk_info(const char *data);        // "/6100"
void on_set_disk_info(const char *data);        // "/6101"

// Formatting (storage_format.cpp).
void on_format_disk(const char *data);          // "/6102"
void on_get_format_progress(const char *data);  // "/6103"

// RAID arrays and hot spares (storage_raid.cpp).
void on_create_raid(const char *data);          // "/6104"
void on_remove_raid(const char *data);          // "/6105"
void on_set_hot_space(const char *data);        // "/6106"
void on_rebuild_raid(const char *data);         // "/6107"
void on_get_raid_mode(const char *data);        // "/6108"
void on_set_raid_mode(const char *data);        // "/6109"
