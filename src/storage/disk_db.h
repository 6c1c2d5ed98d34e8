// The disk table of the configuration database.
#pragma once

#include "storage/storage_records.h"
#include "vxdb/vxdb_record.h"

// The rows of the table, for changes in one transaction (vxdb_change of vxdb_txn.h).
extern const vxdb_kind disk_kind;

// The record of `port` (0..36); zero with id = port when none is stored. 0 when stored, 1 when not,
// -1 when the file cannot be read (busy past the time-out, I/O error, not a database).
int read_disk(const char *path, disk_record *record, int port);
// Every port's record in port order (one never written is zero with its id), at most `capacity`; the
// count in *count (0 on failure). The count, or -1 when the file cannot be read.
int read_disks(const char *path, disk_record *records, int capacity, int *count);
// Stores the record under record->id. 0 or -1.
int write_disk(const char *path, const disk_record *record);
