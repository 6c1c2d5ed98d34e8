// RAID arrays: creation, removal, hot spares, rebuild, and the RAID mode switch.
#include "link/web_answer.h"
#include "link/web_request.h"
#include "storage/storage_codes.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"

#include <cstdint>
#include <cstdio>

namespace {
constexpr int RAID_ID_MIN = 10;
constexpr int CREATE_RAID_ID_MAX = 15;
constexpr int REMOVE_RAID_ID_MAX = 16;

// What the RAID page sends to create an array. The member ports come as a bit mask (bit i: port i).
struct raid_create_input {
    int32_t id;
    int32_t enable;
    int32_t level;
    int32_t sata_cnt;  // passed on as the member count, not the number of bits set
    int32_t sata_port;
};

const json_field raid_create_keys[] = {
    JSON_INT("id", raid_create_input, id, JF_REQUIRED, RAID_ID_MIN, CREATE_RAID_ID_MAX),
    JSON_INT("enable", raid_create_input, enable, JF_REQUIRED, JF_ANY),
    JSON_INT("level", raid_create_input, level, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("sata_cnt", raid_create_input, sata_cnt, JF_OPTIONAL, 0, MAX_RAID_MEMBERS),
    JSON_INT("sata_port", raid_create_input, sata_port, JF_OPTIONAL, 0, INT32_MAX),
};

struct hot_spare_input {
    int32_t port;
    int32_t hotflag;  // non-zero: make the disk a hot spare; 0: release it
};

const json_field hot_spare_keys[] = {
    JSON_INT("port", hot_spare_input, port, JF_REQUIRED, JF_ANY),
    JSON_INT("hotflag", hot_spare_input, hotflag, JF_REQUIRED, JF_ANY),
};

const json_field rebuild_keys[] = {
    JSON_INT("diskport", rebuild_request, disk_port, JF_REQUIRED, JF_ANY),
    JSON_INT("raidport", rebuild_request, raid_port, JF_REQUIRED, JF_ANY),
};

// Ports 0..15 of the mask in ascending order, as the member list of a create request.
void fill_raid_members(uint32_t mask, raid_request *raid)
{
    int count = 0;
    for (int port = 0; port < MAX_RAID_MEMBERS; ++port) {
        if (mask & (1u << port))
            raid->members[count++] = port;
    }
}

// Each reply carries one result: 0 "OK", anything else "Error".
const cgi_reply_route raid_routes[] = {
    {reply_of(RAID_CREATE), CGI_RESULT_SIZE, cgi_reply_ok_error},
    {reply_of(RAID_REMOVE), CGI_RESULT_SIZE, cgi_reply_ok_error},
    {RAID_REMOVED, CGI_RESULT_SIZE, cgi_reply_ok_error},
    {reply_of(HOT_SPARE_ON), CGI_RESULT_SIZE, cgi_reply_ok_error},
    {reply_of(HOT_SPARE_OFF), CGI_RESULT_SIZE, cgi_reply_ok_error},
    {reply_of(RAID_REBUILD), CGI_RESULT_SIZE, cgi_reply_ok_error},
};
}  // namespace

const cgi_reply_table storage_raid_replies = {CGI_ROWS(raid_routes)};

void on_create_raid(const char *data)
{
    raid_create_input input{};
    if (json_read_request(data, raid_create_keys, &input) != 0)
        return;
    raid_request raid{};
    raid.raid_id = input.id;
    raid.enable = input.enable;
    raid.level = input.level;
    raid.member_count = input.sata_cnt;
    fill_raid_members(static_cast<uint32_t>(input.sata_port), &raid);
    cgi_exchange(on_storage_ipc_callback, RAID_CREATE, sizeof raid, &raid, CGI_TEXT);
}

void on_remove_raid(const char *data)
{
    raid_request raid{};
    if (json_read_int_request(data, RAID_ID_MIN, REMOVE_RAID_ID_MAX, &raid.raid_id) != 0)
        return;
    cgi_exchange(on_storage_ipc_callback, RAID_REMOVE, sizeof raid, &raid, CGI_TEXT);
}

void on_set_hot_space(const char *data)
{
    hot_spare_input input{};
    if (json_read_request(data, hot_spare_keys, &input) != 0)
        return;
    const int32_t port = input.port;
    cgi_exchange(on_storage_ipc_callback, input.hotflag != 0 ? HOT_SPARE_ON : HOT_SPARE_OFF, sizeof port, &port, CGI_TEXT);
}

void on_rebuild_raid(const char *data)
{
    rebuild_request rebuild{};
    if (json_read_request(data, rebuild_keys, &rebuild) != 0)
        return;
    cgi_exchange(on_storage_ipc_callback, RAID_REBUILD, sizeof rebuild, &rebuild, CGI_TEXT);
}

void on_get_raid_mode(const char * /*data*/)
{
    int mode = 0;
    if (get_param_int_checked(VXDB_MAIN_DB, "raidmode", 0, &mode) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    char text[16];
    snprintf(text, sizeof text, "%d", mode);
    cgi_answer_text(text);
}

void on_set_raid_mode(const char *data)
{
    // Anything but 0 or 1 switches RAID mode off.
    int mode = 0;
    if (web_parse_int(data, 0, 1, &mode) != 0)
        mode = 0;
    set_param_int(VXDB_MAIN_DB, "raidmode", mode);
    cgi_answer_text("OK");
}
