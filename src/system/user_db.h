// The user table of the configuration database.
#pragma once

#include "system/user_records.h"

#include <type_traits>

// Reads answer 0 (found or read), 1 where it says so, and USER_DB_FAILED when the file cannot be read
// (busy past the time-out, I/O error, not a database): a caller must then refuse, never take the
// table for empty. A missing file, table or slot reads as not stored.
constexpr int USER_DB_FAILED = -1;
constexpr int USER_TABLE_FULL = 1;  // add_user: every slot in use
constexpr int USER_SAME_NAME = 2;   // add_user, change_user: another account in use goes by that name
constexpr int USER_NOT_IN_USE = 3;  // change_user: the slot holds no account in use

// The enabled account whose name agrees with `name` in its first USER_NAME_MATCH characters, copied
// into `record`. 0 when found; 1 (record untouched, so a preset id of -1 stays) when not; or
// USER_DB_FAILED.
int read_user_by_name(const char *path, const char *name, user_record *record);
// The account of slot `id`; zero with that id when the slot was never written. 0 when stored, 1 when
// not, or USER_DB_FAILED.
int read_user(const char *path, user_record *record, int id);
// Every slot in slot order (one never written is zero with its id), at most `capacity`; the count in
// *count (0 on failure). The count, or USER_DB_FAILED.
int read_users(const char *path, user_record *records, int capacity, int *count);
// The number of enabled accounts, or USER_DB_FAILED.
int read_user_count(const char *path);
// Stores the account in the lowest slot that is not enabled and sets record->id to it, in one write
// transaction with the checks that its name is free and a slot is left. 0; USER_TABLE_FULL or
// USER_SAME_NAME (nothing stored); or USER_DB_FAILED. record->id is left as it was unless stored.
int add_user(const char *path, user_record *record);
// Changes the account in use of slot `id` in one write transaction: `change` alters the stored record
// (returning 0, or a value of its own that leaves everything as it was), and a name it changes is
// checked against the other accounts in use. 0 when stored; USER_NOT_IN_USE, USER_SAME_NAME,
// USER_DB_FAILED, or change's own value; *changed holds what was stored.
using user_change_fn = int (*)(user_record &account, void *context);
int change_user(const char *path, int id, user_change_fn change, void *context, user_record *changed);
template <typename F>
int change_user(const char *path, int id, F &&change, user_record *changed)
{
    return change_user(
        path, id, [](user_record &account, void *context) { return (*static_cast<std::remove_reference_t<F> *>(context))(account); },
        &change, changed);
}
// Stores the account under record->id. 0 or -1.
int write_user(const char *path, const user_record *record);
// The factory accounts of the OEM database, every slot as read_users gives them; the count in
// *count. The count, or USER_DB_FAILED.
int read_users_oem(const char *path, oem_user_record *records, int capacity, int *count);
