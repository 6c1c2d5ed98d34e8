#include "system/user_db.h"
#include "link/web_log.h"
#include "vxdb/vxdb_record.h"
#include "vxdb/vxdb_txn.h"

#include <cstring>

namespace {
constexpr vxdb_field user_fields[] = {
    VXDB_FIELD(user_record, id),
    VXDB_FIELD(user_record, enable),
    VXDB_FIELD(user_record, name),
    VXDB_FIELD(user_record, password),
    VXDB_FIELD(user_record, type),
    VXDB_FIELD(user_record, localliveview),
    VXDB_FIELD(user_record, localplayback),
    VXDB_FIELD(user_record, remoteliveview),
    VXDB_FIELD(user_record, remoteplayback),
    VXDB_FIELD(user_record, reserved_text),
    VXDB_FIELD(user_record, init_flag),
    VXDB_FIELD(user_record, localLiveView),
    VXDB_FIELD(user_record, localPlayback),
    VXDB_FIELD(user_record, localRetrieve),
    VXDB_FIELD(user_record, localSmartAnalysis),
    VXDB_FIELD(user_record, localEvent),
    VXDB_FIELD(user_record, localCamera),
    VXDB_FIELD(user_record, localStorage),
    VXDB_FIELD(user_record, localSettings),
    VXDB_FIELD(user_record, localStatus),
    VXDB_FIELD(user_record, localShutdown),
    VXDB_FIELD(user_record, remoteLiveView),
    VXDB_FIELD(user_record, remotePlayback),
    VXDB_FIELD(user_record, remoteRetrieve),
    VXDB_FIELD(user_record, remoteSmartAnalysis),
    VXDB_FIELD(user_record, remoteEvent),
    VXDB_FIELD(user_record, remoteCamera),
    VXDB_FIELD(user_record, remoteStorage),
    VXDB_FIELD(user_record, remoteSettings),
    VXDB_FIELD(user_record, remoteStatus),
    VXDB_FIELD(user_record, remoteShutdown),
    VXDB_FIELD(user_record, permission),
    VXDB_FIELD(user_record, remotePermission),
    VXDB_FIELD(user_record, local_liveview_mask),
    VXDB_FIELD(user_record, local_playback_mask),
    VXDB_FIELD(user_record, remote_liveview_mask),
    VXDB_FIELD(user_record, remote_playback_mask),
};
const vxdb_kind user_kind = {"user", sizeof(user_record), 0, MAX_USERS - 1, VXDB_INDEX_AT(user_record, id),
                             VXDB_FIELDS(user_fields)};
VXDB_REGISTER_KIND(user_kind);

constexpr vxdb_field oem_user_fields[] = {
    VXDB_FIELD(oem_user_record, id),         VXDB_FIELD(oem_user_record, enable),
    VXDB_FIELD(oem_user_record, name),       VXDB_FIELD(oem_user_record, password),
    VXDB_FIELD(oem_user_record, type),       VXDB_FIELD(oem_user_record, permission),
    VXDB_FIELD(oem_user_record, remotePermission),
};
const vxdb_kind oem_user_kind = {"oem_user", sizeof(oem_user_record), 0, MAX_USERS - 1,
                                 VXDB_INDEX_AT(oem_user_record, id), VXDB_FIELDS(oem_user_fields)};
VXDB_REGISTER_KIND(oem_user_kind);

using user_slots = user_record[MAX_USERS];

// Every slot of the table inside `txn`, or false (logged) when the file cannot be read.
bool read_all(vxdb_txn &txn, user_slots &slots)
{
    return txn.read_slots(slots, MAX_USERS) == MAX_USERS;
}

bool same_name(const user_record &account, const char *name)
{
    return account.enable == 1 && strncmp(account.name, name, USER_NAME_MATCH) == 0;
}

// The slot of the account in use called `name`, other than `own_id`; -1 when there is none.
int holder_of(const user_slots &slots, const char *name, int own_id)
{
    for (int id = 0; id < MAX_USERS; ++id) {
        if (id != own_id && same_name(slots[id], name))
            return id;
    }
    return -1;
}

int failed(const char *path, const char *what)
{
    cgi_log(__FILE__, __LINE__, "user table", "%s: %s cannot be read or written (locked past the time-out, I/O error "
            "or not a database)", what, path);
    return USER_DB_FAILED;
}

template <typename F> int view_users(const char *path, const char *what, F &&fn)
{
    const int rc = vxdb_view(path, user_kind, fn);
    return rc < 0 ? failed(path, what) : rc;
}
}  // namespace

int read_user_by_name(const char *path, const char *name, user_record *record)
{
    if (name == nullptr || record == nullptr)
        return USER_DB_FAILED;
    return view_users(path, "look-up by name", [&](vxdb_txn &txn) {
        static user_slots slots;
        if (!read_all(txn, slots))
            return -1;
        const int id = holder_of(slots, name, -1);
        if (id < 0)
            return 1;
        *record = slots[id];
        return 0;
    });
}

int read_user(const char *path, user_record *record, int id)
{
    if (record == nullptr)
        return USER_DB_FAILED;
    return view_users(path, "account", [&](vxdb_txn &txn) { return txn.read(id, record); });
}

int read_users(const char *path, user_record *records, int capacity, int *count)
{
    *count = 0;
    const int rc = view_users(path, "account list", [&](vxdb_txn &txn) {
        const int n = txn.read_slots(records, capacity);
        *count = n < 0 ? 0 : n;
        return n < 0 ? -1 : 0;
    });
    return rc < 0 ? rc : *count;
}

int read_user_count(const char *path)
{
    int enabled = 0;
    const int rc = view_users(path, "account count", [&](vxdb_txn &txn) {
        static user_slots slots;
        if (!read_all(txn, slots))
            return -1;
        for (const user_record &account : slots)
            enabled += account.enable == 1;
        return 0;
    });
    return rc < 0 ? rc : enabled;
}

int add_user(const char *path, user_record *record)
{
    if (record == nullptr)
        return USER_DB_FAILED;
    int slot = -1;
    const int rc = vxdb_update(path, user_kind, [&](vxdb_txn &txn) {
        static user_slots slots;
        if (!read_all(txn, slots))
            return -1;
        if (holder_of(slots, record->name, -1) >= 0)
            return USER_SAME_NAME;
        for (slot = 0; slot < MAX_USERS && slots[slot].enable == 1; ++slot) {
        }
        if (slot == MAX_USERS)
            return USER_TABLE_FULL;
        user_record stored = *record;
        stored.id = slot;
        return txn.write(&stored);
    });
    if (rc < 0)
        return failed(path, "addition");
    if (rc == 0)
        record->id = slot;
    return rc;
}

int change_user(const char *path, int id, user_change_fn change, void *context, user_record *changed)
{
    const int rc = vxdb_update(path, user_kind, [&](vxdb_txn &txn) {
        static user_slots slots;
        if (id < 0 || id >= MAX_USERS)
            return USER_NOT_IN_USE;
        if (!read_all(txn, slots))
            return -1;
        user_record &account = slots[id];
        if (account.enable != 1)
            return USER_NOT_IN_USE;
        char name_before[sizeof account.name];
        memcpy(name_before, account.name, sizeof name_before);
        if (int own = change(account, context); own != 0)
            return own;
        const bool renamed = strncmp(name_before, account.name, USER_NAME_MATCH) != 0;
        if (renamed && holder_of(slots, account.name, id) >= 0)
            return USER_SAME_NAME;
        if (changed != nullptr)
            *changed = account;
        return txn.write(&account);
    });
    return rc == USER_DB_FAILED ? failed(path, "change") : rc;
}

int write_user(const char *path, const user_record *record)
{
    return vxdb_write(path, user_kind, record);
}

int read_users_oem(const char *path, oem_user_record *records, int capacity, int *count)
{
    *count = 0;
    const int rc = vxdb_view(path, oem_user_kind, [&](vxdb_txn &txn) {
        const int n = txn.read_slots(records, capacity);
        *count = n < 0 ? 0 : n;
        return n < 0 ? -1 : 0;
    });
    return rc < 0 ? failed(path, "factory account list") : *count;
}
