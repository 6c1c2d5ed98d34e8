// The disk table of the configuration database.
#pragma once

#include "storage/storage_records.h"

// The record of `port` (0..36); zero with id = port when none is stored. 0 when stored, else -1.
int read_disk(const char *path, disk_record *record, int port);
// Every stored record in port order, at most `capacity`; the count in *count. Returns the count.
int read_disks(const char *path, disk_record *records, int capacity, int *count);
// Stores the record under record->id. 0 or -1.
int write_disk(const char *path, const disk_record *record);
