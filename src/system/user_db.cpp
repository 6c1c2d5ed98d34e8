#include "system/user_db.h"
#include "link/web_files.h"
#include "vxdb/vxdb_record.h"

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

// Serialises the free-slot search and the write of concurrent additions.
constexpr const char *user_add_lock = "/tmp/.vxdb_user_add.lock";
}  // namespace

int read_user_by_name(const char *path, const char *name, user_record *record)
{
    if (name == nullptr || record == nullptr)
        return -1;
    static user_record users[MAX_USERS];
    int count = 0;
    read_users(path, users, MAX_USERS, &count);
    for (int i = 0; i < count; ++i) {
        if (users[i].enable == 1 && strncmp(users[i].name, name, USER_NAME_MATCH) == 0) {
            *record = users[i];
            return 0;
        }
    }
    return -1;
}

int read_user(const char *path, user_record *record, int id)
{
    return vxdb_read(path, user_kind, id, record);
}

int read_users(const char *path, user_record *records, int capacity, int *count)
{
    vxdb_read_many(path, user_kind, records, capacity, count);
    return *count;
}

int read_user_count(const char *path)
{
    static user_record users[MAX_USERS];
    int count = 0, enabled = 0;
    read_users(path, users, MAX_USERS, &count);
    for (int i = 0; i < count; ++i)
        enabled += users[i].enable == 1;
    return enabled;
}

int add_user(const char *path, user_record *record)
{
    if (record == nullptr)
        return -1;
    int lock = file_lock(user_add_lock);
    static user_record slots[MAX_USERS];
    int filled = vxdb_read_slots(path, user_kind, slots, MAX_USERS);
    int result = -1;
    for (int id = 0; id < filled; ++id) {
        if (slots[id].enable == 1)
            continue;
        user_record stored = *record;
        stored.id = id;
        if (vxdb_write(path, user_kind, &stored) == 0) {
            record->id = id;
            result = 0;
        }
        break;
    }
    file_unlock(lock);
    return result;
}

int write_user(const char *path, const user_record *record)
{
    return vxdb_write(path, user_kind, record);
}

int read_users_oem(const char *path, oem_user_record *records, int capacity, int *count)
{
    vxdb_read_many(path, oem_user_kind, records, capacity, count);
    return *count;
}
