// The disk list ("/6100") and the settings of one disk ("/6101").
//
// The list merges two sources: the disks the main service reports (reply 8433) and the network disks
// configured in the database, which are listed even while the main service does not report them.
#include "link/json_fields.h"
#include "link/web_json.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "storage/disk_db.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_text.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr int CONFIGURED_DISK_STATE = 2;  // a configured network disk the main service does not report
constexpr size_t URL_TEXT_SIZE = 128;

// One element of the "HDD" array, in the answer's terms.
struct disk_list_entry {
    int32_t port_id;
    char vendor[64];
    char address[64];
    char directory[64];
    int64_t total_mib;
    int64_t used_mib;
    int64_t free_mib;
    int32_t disk_type;
    int32_t state;
    int32_t group;
    int32_t property;
    int32_t usable;
    int32_t raid_id;
    int32_t raid_level;
    int32_t raid_state;
    int32_t raid_progress;
    int32_t raid_member_count;
    int32_t raid_task;
    char user[URL_TEXT_SIZE];      // URL-encoded
    char password[URL_TEXT_SIZE];  // URL-encoded
    uint64_t raid_member_mask;     // bit p: port p is a member
};

const json_field disk_list_keys[] = {
    JSON_INT("portId", disk_list_entry, port_id, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("vendorName", disk_list_entry, vendor, JF_OPTIONAL),
    JSON_TEXT("address", disk_list_entry, address, JF_OPTIONAL),
    JSON_TEXT("directory", disk_list_entry, directory, JF_OPTIONAL),
    JSON_INT("totalSize", disk_list_entry, total_mib, JF_OPTIONAL, JF_ANY),
    JSON_INT("usedSize", disk_list_entry, used_mib, JF_OPTIONAL, JF_ANY),
    JSON_INT("freeSize", disk_list_entry, free_mib, JF_OPTIONAL, JF_ANY),
    JSON_INT("hddType", disk_list_entry, disk_type, JF_OPTIONAL, JF_ANY),
    JSON_INT("state", disk_list_entry, state, JF_OPTIONAL, JF_ANY),
    JSON_INT("group", disk_list_entry, group, JF_OPTIONAL, JF_ANY),
    JSON_INT("property", disk_list_entry, property, JF_OPTIONAL, JF_ANY),
    JSON_INT("bUsable", disk_list_entry, usable, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_id", disk_list_entry, raid_id, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_level", disk_list_entry, raid_level, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_state", disk_list_entry, raid_state, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_progress", disk_list_entry, raid_progress, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_sata_cnt", disk_list_entry, raid_member_count, JF_OPTIONAL, JF_ANY),
    JSON_INT("raid_task", disk_list_entry, raid_task, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("userName", disk_list_entry, user, JF_OPTIONAL),
    JSON_TEXT("password", disk_list_entry, password, JF_OPTIONAL),
    JSON_INT("raid_sata_port", disk_list_entry, raid_member_mask, JF_OPTIONAL, JF_ANY),
};

// The keys of the disk settings page; "private" is only passed on, never stored.
const json_field disk_settings_keys[] = {
    JSON_INT("portId", disk_settings, port, JF_REQUIRED, 0, MAX_DISK_PORTS - 1),
    JSON_INT("property", disk_settings, property, JF_REQUIRED, 0, 1),
    JSON_INT("group", disk_settings, group, JF_OPTIONAL, JF_ANY),
    JSON_INT("private", disk_settings, is_private, JF_OPTIONAL, JF_ANY),
};

// The same change read over the stored disk: a group left out keeps the stored one.
const json_field disk_record_keys[] = {
    JSON_INT("property", disk_record, property, JF_REQUIRED, 0, 1),
    JSON_INT("group", disk_record, group, JF_OPTIONAL, JF_ANY),
};

bool is_network_disk(int disk_type)
{
    return disk_type == DISK_TYPE_NFS || disk_type == DISK_TYPE_SMB;
}

// Slot port - 1 of every record with a port 1..36; a later record of a port replaces an earlier one.
void place_reported_disks(int count, const void *payload, disk_status (&slots)[MAX_DISK_PORTS])
{
    const auto *records = static_cast<const unsigned char *>(payload);
    for (int i = 0; i < count; ++i) {
        disk_status disk;
        memcpy(&disk, records + static_cast<size_t>(i) * sizeof disk, sizeof disk);
        if (disk.port_id >= 1 && disk.port_id <= MAX_DISK_PORTS)
            slots[disk.port_id - 1] = disk;
    }
}

// The configured network disks: the database's address of a reported network disk wins over the
// main service's, and one that is not reported is listed all the same.
void merge_configured_disks(disk_status (&slots)[MAX_DISK_PORTS])
{
    disk_record stored[MAX_DISK_PORTS + 1];
    int count = 0;
    read_disks(VXDB_MAIN_DB, stored, MAX_DISK_PORTS + 1, &count);
    for (int i = 0; i < count; ++i) {
        const disk_record &db = stored[i];
        if (db.enable != 1 || db.id < 1 || db.id > MAX_DISK_PORTS)
            continue;
        disk_status &slot = slots[db.id - 1];
        if (slot.port_id != 0 && !is_network_disk(slot.disk_type))
            continue;
        if (slot.port_id == 0) {
            slot.port_id = db.id;
            slot.disk_type = db.type;
            slot.property = db.property;
            slot.group = db.group;
            slot.state = CONFIGURED_DISK_STATE;
        }
        vx_copy_text(slot.vendor, sizeof slot.vendor, db.vendor, sizeof db.vendor);
        vx_copy_text(slot.address, sizeof slot.address, db.address, sizeof db.address);
        vx_copy_text(slot.directory, sizeof slot.directory, db.directory, sizeof db.directory);
        vx_copy_text(slot.user, sizeof slot.user, db.user, sizeof db.user);
        vx_copy_text(slot.password, sizeof slot.password, db.password, sizeof db.password);
    }
}

// A text field of a reply record, which may lack its terminating zero, URL-encoded.
void url_encode_field(char (&out)[URL_TEXT_SIZE], const char *field, size_t field_size)
{
    // At most field_size - 1 characters, as in a terminated field.
    char text[URL_TEXT_SIZE];
    vx_copy_text(text, field_size < sizeof text ? field_size : sizeof text, field, field_size);
    get_url_encode(text, out, sizeof out);
}

void fill_list_entry(const disk_status &disk, disk_list_entry *entry)
{
    entry->port_id = disk.port_id;
    vx_copy_text(entry->vendor, sizeof entry->vendor, disk.vendor, sizeof disk.vendor);
    vx_copy_text(entry->address, sizeof entry->address, disk.address, sizeof disk.address);
    vx_copy_text(entry->directory, sizeof entry->directory, disk.directory, sizeof disk.directory);
    entry->total_mib = static_cast<int64_t>(disk.total_size >> 20);
    entry->used_mib = static_cast<int64_t>(disk.used_size >> 20);
    entry->free_mib = static_cast<int64_t>(disk.free_size >> 20);
    entry->disk_type = disk.disk_type;
    entry->state = disk.state;
    entry->group = disk.group;
    entry->property = disk.property;
    entry->usable = disk.usable;
    entry->raid_id = disk.port_id;
    entry->raid_level = disk.raid_level;
    entry->raid_state = disk.raid_state;
    entry->raid_progress = disk.raid_progress;
    entry->raid_task = disk.raid_progress;
    url_encode_field(entry->user, disk.user, sizeof disk.user);
    url_encode_field(entry->password, disk.password, sizeof disk.password);

    // The member list holds 16 ports whatever count the main service gives; port 0 is no member and
    // the mask has room for ports up to 63.
    int members = disk.raid_member_count;
    members = members < 0 ? 0 : members > MAX_RAID_MEMBERS ? MAX_RAID_MEMBERS : members;
    entry->raid_member_count = members;
    for (int i = 0; i < members; ++i) {
        const int port = disk.raid_members[i];
        if (port >= 1 && port < 64)
            entry->raid_member_mask |= uint64_t{1} << port;
    }
}
}  // namespace

void on_get_disk_info(const char * /*data*/)
{
    cgi_exchange(on_storage_ipc_callback, 3433, 0, nullptr, CGI_JSON);
}

void on_get_storage_info_cb(int count, const void *payload)
{
    disk_status slots[MAX_DISK_PORTS] = {};
    place_reported_disks(count, payload, slots);
    merge_configured_disks(slots);

    json_ptr list(json_object_new_array());
    for (const disk_status &disk : slots) {
        if (disk.port_id == 0)
            continue;
        disk_list_entry entry{};
        fill_list_entry(disk, &entry);
        json_object *element = json_object_new_object();
        json_add_fields(element, disk_list_keys, &entry);
        json_object_array_add(list.get(), element);
    }
    const bool empty = count == 0 && json_object_array_length(list.get()) == 0;

    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "resultString", json_object_new_string(empty ? "NO" : "OK"));
    json_object_object_add(answer.get(), "esataType",
                           json_object_new_int(get_param_int(VXDB_MAIN_DB, "esata_type", 0)));
    json_object_object_add(answer.get(), "HDD", list.release());
    json_object_object_add(answer.get(), "maxDiskNum", json_object_new_int(MAX_DISK_PORTS));
    cgi_writeback_webserver(CGI_JSON, json_object_to_json_string(answer.get()));
    g_callback_done = 1;
}

void on_set_disk_info(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    disk_settings settings{};
    if (json_read_fields(request.get(), disk_settings_keys, &settings) != 0)
        return;
    disk_record disk{};
    read_disk(VXDB_MAIN_DB, &disk, settings.port);
    disk.id = settings.port;
    json_read_fields(request.get(), disk_record_keys, &disk);
    write_disk(VXDB_MAIN_DB, &disk);

    settings.group = disk.group;
    cgi_send_request(on_storage_ipc_callback, 3435, sizeof settings, &settings);
    cgi_send_operation_log(on_storage_ipc_callback, 4, 204, 919, settings.port);
    cgi_writeback_webserver(CGI_TEXT, "OK");
}
