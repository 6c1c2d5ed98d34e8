// The user table of the configuration database.
#pragma once

#include "system/user_records.h"

// The enabled account whose name agrees with `name` in its first USER_NAME_MATCH characters, copied
// into `record`. 0 when found; -1 (record untouched, so a preset id of -1 stays) when not.
int read_user_by_name(const char *path, const char *name, user_record *record);
// The account of slot `id`; zero with that id when the slot was never written. 0 when stored, else -1.
int read_user(const char *path, user_record *record, int id);
// Every stored slot (enabled or not) in slot order, at most `capacity`; the count in *count.
int read_users(const char *path, user_record *records, int capacity, int *count);
// The number of enabled accounts.
int read_user_count(const char *path);
// Stores the account in the lowest slot that is not enabled and sets record->id to it. 0, or -1 when
// every slot is in use or the write fails (record->id is then left as it was).
int add_user(const char *path, user_record *record);
// Stores the account under record->id. 0 or -1.
int write_user(const char *path, const user_record *record);
// The factory accounts of the OEM database, every stored slot, at most `capacity`.
int read_users_oem(const char *path, oem_user_record *records, int capacity, int *count);
