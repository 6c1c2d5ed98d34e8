// The early motion pages, each exchanging one group of settings of one channel: detection ("/6012",
// "/6114"), the buzzer schedule ("/6011", "/6013") and both at once ("/6113").
#include "link/event_records.h"
#include "link/event_schedule.h"
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "video/video_codes.h"
#include "video/video_db.h"
#include "video/video_module.h"
#include "video/video_records.h"
#include "video/video_requests.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_txn.h"
#include "vxrt/vx_text.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {
struct channel_input {
    int32_t channel;
};

const json_field cam_id_key[] = {
    JSON_INT("camId", channel_input, channel, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
};

// The detection page sends every member; the record is built from them alone.
const json_field movedetect_keys[] = {
    JSON_INT("camId", motion_record, channel, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
    JSON_INT("enable", motion_record, enable, JF_REQUIRED, 0, 2),
    JSON_INT("sensitivity", motion_record, sensitivity, JF_REQUIRED, 0, INT32_MAX),
    JSON_TEXT("triChannels", motion_record, tri_channels, JF_REQUIRED),
    JSON_INT("triAlarms", motion_record, tri_alarms, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("interval", motion_record, interval, JF_REQUIRED, 0, INT32_MAX),
    JSON_TEXT("motionTable", motion_record, motion_table, JF_REQUIRED),
    JSON_INT("enableMS", motion_record, enable_ms, JF_REQUIRED, JF_ANY),
};

// The basic page changes these members over the stored record; one left out keeps its value.
const json_field movedetect_basic_keys[] = {
    JSON_INT("sensitivity", motion_record, sensitivity, JF_OPTIONAL, 0, INT32_MAX),
    JSON_TEXT("triChannels", motion_record, tri_channels, JF_OPTIONAL),
    JSON_INT("triAlarms", motion_record, tri_alarms, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("interval", motion_record, interval, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("enableMS", motion_record, enable_ms, JF_OPTIONAL, JF_ANY),
};

// The schedule page's members over the stored record.
const json_field movedetect_schedule_keys[] = {
    JSON_INT("sensitivity", motion_record, sensitivity, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("enableMS", motion_record, enable_ms, JF_OPTIONAL, JF_ANY),
    JSON_INT("enable", motion_record, enable, JF_OPTIONAL, 0, 2),
    JSON_INT("triAlarms", motion_record, tri_alarms, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("interval", motion_record, interval, JF_OPTIONAL, 0, INT32_MAX),
};

// Reads the basic members over `record` and rebuilds the mask when "triChannels" came. -1 when a
// member is refused (the record is then untouched).
int merge_basic(json_object *request, const json_field *keys, size_t count, motion_record *record)
{
    if (json_read_fields(request, keys, count, record) != 0)
        return -1;
    if (json_object_object_get_ex(request, "triChannels", nullptr))
        record->tri_mask = trigger_text_mask(record->tri_channels, sizeof record->tri_channels);
    return 0;
}

void send_motion_area(const motion_record &record)
{
    motion_area_request area;
    memset(&area, 0, sizeof area);
    vx_copy_text(area.area, sizeof area.area, record.motion_table, sizeof record.motion_table);
    area.sensitivity = record.sensitivity;
    area.channel = record.channel;
    cgi_send_request(on_video_ipc_callback, MOTION_AREA, sizeof area, &area);
}
}  // namespace

void on_set_movedetect_info(const char *data)
{
    motion_record record;
    memset(&record, 0, sizeof record);
    if (json_read_request(data, movedetect_keys, &record) != 0)
        return;
    record.tri_mask = trigger_text_mask(record.tri_channels, sizeof record.tri_channels);
    if (write_motion(VXDB_MAIN_DB, &record) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(MOTION_CHANGED, record.channel);
    send_motion_area(record);
    send_smart_motion(record.channel, record.enable_ms == 1);
    cgi_send_operation_log(on_video_ipc_callback, LOG_MOTION, record.channel + 1);
    cgi_answer_text("OK");
}

void on_set_movedetect_basic(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    channel_input input{};
    motion_record probe{};
    if (json_read_fields(request.get(), cam_id_key, &input) != 0 ||
        merge_basic(request.get(), CGI_ROWS(movedetect_basic_keys), &probe) != 0)
        return;
    const int rc = vxdb_change<motion_record>(VXDB_MAIN_DB, motion_kind, input.channel, [&](motion_record &record, bool) {
        return merge_basic(request.get(), CGI_ROWS(movedetect_basic_keys), &record);
    });
    if (rc != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(MOTION_CHANGED, input.channel);
    cgi_send_operation_log(on_video_ipc_callback, LOG_MOTION, input.channel + 1);
    cgi_answer_text("OK");
}

void on_get_motion_schedule(const char *data)
{
    answer_channel_schedule(data, read_motion_audible_schedule);
}

void on_set_motion_schedule(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    channel_input input{};
    auto schedule = std::make_unique<event_schedule>();
    if (json_read_fields(request.get(), cam_id_key, &input) != 0 ||
        get_schedule_by_json_ex(request.get(), "schedule", schedule.get()) != 0)
        return;
    if (write_motion_schedule(VXDB_MAIN_DB, schedule.get(), input.channel) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(MOTION_CHANGED, input.channel);
    cgi_answer_text("OK");
}

void on_set_movedetect_schedule(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    channel_input input{};
    motion_record probe{};
    if (json_read_fields(request.get(), cam_id_key, &input) != 0 ||
        json_read_fields(request.get(), movedetect_schedule_keys, &probe) != 0)
        return;
    auto schedule = std::make_unique<event_schedule>();
    const bool has_schedule = get_schedule_by_json_ex(request.get(), "schedule", schedule.get()) == 0;
    bool smart = false;
    const int rc = vxdb_change<motion_record>(VXDB_MAIN_DB, motion_kind, input.channel, [&](motion_record &record, bool) {
        json_read_fields(request.get(), movedetect_schedule_keys, &record);
        smart = record.enable_ms == 1;
        return 0;
    });
    if (rc != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(MOTION_CHANGED, input.channel);
    if (has_schedule && write_motion_schedule(VXDB_MAIN_DB, schedule.get(), input.channel) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(MOTION_CHANGED, input.channel);
    send_smart_motion(input.channel, smart);
    cgi_answer_text("OK");
}
