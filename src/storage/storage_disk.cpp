// The disk list ("/6100") and the settings of one disk ("/6101").
//
// The list merges two sources: the disks the main service reports (reply 8433) and the network disks
// configured in the database, which are listed even while the main service does not report them.
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_log.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "storage/disk_db.h"
#include "storage/storage_codes.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_txn.h"
#include "vxrt/vx_text.h"

#include <cstdint>

namespace {
constexpr int CONFIGURED_DISK_STATE = 2;  // a configured network disk the main service does not report

// One element of the "HDD" array, read from the disk's status record. An array reports its RAID id
// as its port, and its progress as its task too.
const json_field disk_list_keys[] = {
    JSON_OUT_INT("portId", disk_status, port_id),
    JSON_OUT_TEXT("vendorName", disk_status, vendor),
    JSON_OUT_TEXT("address", disk_status, address),
    JSON_OUT_TEXT("directory", disk_status, directory),
    JSON_OUT_MIB("totalSize", disk_status, total_size),
    JSON_OUT_MIB("usedSize", disk_status, used_size),
    JSON_OUT_MIB("freeSize", disk_status, free_size),
    JSON_OUT_INT("hddType", disk_status, disk_type),
    JSON_OUT_INT("state", disk_status, state),
    JSON_OUT_INT("group", disk_status, group),
    JSON_OUT_INT("property", disk_status, property),
    JSON_OUT_INT("bUsable", disk_status, usable),
    JSON_OUT_INT("raid_id", disk_status, port_id),
    JSON_OUT_INT("raid_level", disk_status, raid_level),
    JSON_OUT_INT("raid_state", disk_status, raid_state),
    JSON_OUT_INT("raid_progress", disk_status, raid_progress),
    JSON_OUT_COUNT("raid_sata_cnt", disk_status, raid_member_count, MAX_RAID_MEMBERS),
    JSON_OUT_INT("raid_task", disk_status, raid_progress),
    JSON_OUT_URL_TEXT("userName", disk_status, user),
    JSON_OUT_URL_TEXT("password", disk_status, password),
    JSON_OUT_MEMBER_MASK("raid_sata_port", disk_status, raid_members, raid_member_count),
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

// The configured network disks: the database's address of a reported network disk wins over the
// main service's, and one that is not reported is listed all the same. False when the table cannot be
// read.
bool merge_configured_disks(disk_status (&slots)[MAX_DISK_PORTS])
{
    disk_record stored[MAX_DISK_PORTS + 1];
    int count = 0;
    if (read_disks(VXDB_MAIN_DB, stored, MAX_DISK_PORTS + 1, &count) < 0)
        return false;
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
    return true;
}

bool is_listed(const disk_status &disk)
{
    return disk.port_id != 0;
}

// 8433: the reported disks (a later record of a port replaces an earlier one) merged with the
// configured ones; "NO" when there are none at all.
int on_get_storage_info_cb(int count, const void *payload)
{
    disk_status slots[MAX_DISK_PORTS] = {};
    cgi_reply_place(payload, count, slots, &disk_status::port_id, 1);
    int esata_type = 0;
    if (!merge_configured_disks(slots) || get_param_int_checked(VXDB_MAIN_DB, "esata_type", 0, &esata_type) != 0)
    {
        cgi_log(__FILE__, __LINE__, __func__, "the configured disks cannot be read: no list");
        return CGI_REPLY_UNUSABLE;  // a list without the configured disks would hide them
    }
    json_ptr list(json_record_array<disk_status>(slots, MAX_DISK_PORTS, disk_list_keys, is_listed));
    const bool empty = count == 0 && json_object_array_length(list.get()) == 0;

    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "resultString", json_object_new_string(empty ? "NO" : "OK"));
    json_object_object_add(answer.get(), "esataType",
                           json_object_new_int(esata_type));
    json_object_object_add(answer.get(), "HDD", list.release());
    json_object_object_add(answer.get(), "maxDiskNum", json_object_new_int(MAX_DISK_PORTS));
    return cgi_answer_json(answer.get());
}

const cgi_reply_route disk_routes[] = {
    {reply_of(DISK_LIST), sizeof(disk_status), on_get_storage_info_cb, CGI_LIST},
};
}  // namespace

const cgi_reply_table storage_disk_replies = {CGI_ROWS(disk_routes)};

void on_get_disk_info(const char * /*data*/)
{
    cgi_exchange(on_storage_ipc_callback, DISK_LIST, 0, nullptr, CGI_JSON);
}

void on_set_disk_info(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    disk_settings settings{};
    if (json_read_fields(request.get(), disk_settings_keys, &settings) != 0)
        return;
    // The stored record is read, merged and written back in one transaction: two changes of the
    // same disk queue instead of one losing the other's fields.
    const int rc = vxdb_change<disk_record>(VXDB_MAIN_DB, disk_kind, settings.port, [&](disk_record &disk, bool) {
        json_read_fields(request.get(), disk_record_keys, &disk);
        settings.group = disk.group;
        return 0;
    });
    if (rc != 0) {
        cgi_log(__FILE__, __LINE__, __func__, "disk %d: the settings cannot be stored", settings.port);
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }

    cgi_send_request(on_storage_ipc_callback, DISK_SETTINGS, sizeof settings, &settings);
    cgi_send_operation_log(on_storage_ipc_callback, LOG_DISK_SETTINGS, settings.port);
    cgi_answer_text("OK");
}
