// The whole-event pages: motion ("/6010" reads, "/6112" saves) and video loss ("/6094", "/6095").
// Each exchanges the event's record with all its reactions (schedules, white-LED, warning-light, HTTP
// and PTZ actions) in one JSON object, and can copy the channel's settings to other channels.
#include "link/audio_files.h"
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_json.h"
#include "link/event_kinds.h"
#include "link/event_records.h"
#include "link/event_request.h"
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
// Where one event keeps its schedules and action lists.
struct event_tables {
    int kind;               // of its PTZ lists
    const char *effective;  // the armed-time schedule (motion only)
    const char *audible;
    const char *email;
    const char *ptz;
    const char *white_sche;
    const char *warning_sche;
    const char *http_sche;
    const char *white_params;
    const char *warning_params;
    const char *http_params;
};

const event_tables motion_tables = {
    EVENT_KIND_MOTION,        MOTION_EFFECTIVE_SCHE,      MOTION_AUDIBLE_SCHE,           MOTION_EMAIL_SCHE,
    MOTION_PTZ_SCHE,          MOTION_WHITELED_ESCHE,      MOTION_WARNING_LIGHT_ESCHE,    MOTION_HTTP_NOTIFICATION_SCHE,
    MOTION_WHITE_LED_PARAMS,  MOTION_WARNING_LIGHT_PARAMS, MOTION_HTTP_NOTIFICATION_PARAMS,
};

const event_tables video_loss_tables = {
    EVENT_KIND_VIDEO_LOSS,       nullptr,
    VIDEOLOSS_AUDIBLE_SCHE,      VIDEOLOSS_EMAIL_SCHE,
    VIDEOLOSS_PTZ_SCHE,          VIDEOLOSS_WHITELED_ESCHE,
    VIDEOLOSS_WARNING_LIGHT_ESCHE, VIDEOLOSS_HTTP_NOTIFICATION_SCHE,
    VIDEO_LOSS_WHITE_LED_PARAMS, VIDEO_LOSS_WARNING_LIGHT_PARAMS,
    VIDEOLOSS_HTTP_NOTIFICATION_PARAMS,
};

// The schedule members of a page; the buzzer, e-mail and PTZ schedules go through the `_ex` pair.
struct schedule_member {
    const char *key;
    const char *event_tables::*table;
    bool ex;
};

const schedule_member schedule_members[] = {
    {"effective", &event_tables::effective, false},  {"audible", &event_tables::audible, true},
    {"email", &event_tables::email, true},           {"ptz", &event_tables::ptz, true},
    {"white", &event_tables::white_sche, false},     {"warningLight", &event_tables::warning_sche, false},
    {"httpSche", &event_tables::http_sche, false},
};
constexpr size_t LEADING_SCHEDULES = 4;  // answered before "triChnAlarms"; the others with their lists

struct event_channel_input {
    int32_t chnid;
};

const json_field chnid_key[] = {
    JSON_INT("chnid", event_channel_input, chnid, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
};

const json_field motion_answer_head[] = {
    JSON_OUT_INT("chnid", motion_record, channel),
    JSON_OUT_INT("enable", motion_record, enable),
    JSON_OUT_INT("sensitivity", motion_record, sensitivity),
    JSON_OUT_TEXT("triChannels", motion_record, tri_channels),
    JSON_OUT_INT("triAlarms", motion_record, tri_alarms),
    JSON_OUT_INT("interval", motion_record, interval),
    JSON_OUT_INT("enableMS", motion_record, enable_ms),
    JSON_OUT_TEXT("motionTable", motion_record, motion_table),
    JSON_OUT_INT("email_enable", motion_record, email_enable),
    JSON_OUT_INT("email_interval", motion_record, email_interval),
    JSON_OUT_INT("email_pic_enable", motion_record, email_pic_enable),
    JSON_OUT_TEXT("tri_channels_pic", motion_record, tri_channels_pic),
    JSON_OUT_INT("ptz_interval", motion_record, ptz_interval),
    JSON_OUT_INT("alarmout_interval", motion_record, alarmout_interval),
    JSON_OUT_INT("http_notification_interval", motion_record, http_notification_interval),
};

const json_field video_loss_answer_head[] = {
    JSON_OUT_INT("chnid", video_loss_record, channel),
    JSON_OUT_INT("enable", video_loss_record, enable),
    JSON_OUT_INT("triAlarms", video_loss_record, tri_alarms),
    JSON_OUT_INT("interval", video_loss_record, interval),
    JSON_OUT_INT("email_interval", video_loss_record, email_interval),
    JSON_OUT_INT("ptz_interval", video_loss_record, ptz_interval),
    JSON_OUT_INT("alarmout_interval", video_loss_record, alarmout_interval),
    JSON_OUT_INT("http_notification_interval", video_loss_record, http_notification_interval),
};

#define EVENT_DIALOG_KEYS(record)                                                                       \
    JSON_INT("enable", record, enable, JF_OPTIONAL, 0, 2),                                              \
        JSON_INT("triAlarms", record, tri_alarms, JF_OPTIONAL, JF_ANY),                                 \
        JSON_INT("interval", record, interval, JF_OPTIONAL, JF_ANY),                                    \
        JSON_INT("audioId", record, audio_id, JF_OPTIONAL, JF_ANY),                                     \
        JSON_INT("email_interval", record, email_interval, JF_OPTIONAL, JF_ANY),                        \
        JSON_INT("ptz_interval", record, ptz_interval, JF_OPTIONAL, JF_ANY),                            \
        JSON_INT("alarmout_interval", record, alarmout_interval, JF_OPTIONAL, JF_ANY),                  \
        JSON_INT("white_interval", record, white_interval, JF_OPTIONAL, JF_ANY),                        \
        JSON_INT("warning_light_interval", record, warning_light_interval, JF_OPTIONAL, JF_ANY),        \
        JSON_INT("http_notification_interval", record, http_notification_interval, JF_OPTIONAL, JF_ANY)

const json_field video_loss_dialog_keys[] = {EVENT_DIALOG_KEYS(video_loss_record)};

const json_field motion_dialog_keys[] = {
    EVENT_DIALOG_KEYS(motion_record),
    JSON_INT("email_pic_enable", motion_record, email_pic_enable, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("tri_channels_pic", motion_record, tri_channels_pic, JF_OPTIONAL),
    JSON_TEXT("triChannels", motion_record, tri_channels, JF_OPTIONAL),
};

// The motion page's own members beside its dialog.
struct motion_page_input {
    int32_t chnid;
    int32_t enable_ai;
    int32_t detection;
};

const json_field motion_page_keys[] = {
    JSON_INT("chnid", motion_page_input, chnid, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
    JSON_INT("enableAI", motion_page_input, enable_ai, JF_OPTIONAL, JF_ANY),
    JSON_INT("detection", motion_page_input, detection, JF_OPTIONAL, JF_ANY),
};

// What the page sets in the record it copies; one left out keeps the stored value.
const json_field motion_page_record_keys[] = {
    JSON_INT("sensitivity", motion_record, sensitivity, JF_OPTIONAL, 0, INT32_MAX),
    JSON_INT("enableMS", motion_record, enable_ms, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("motionTable", motion_record, motion_table, JF_OPTIONAL),
};

uint64_t channel_bit(int chn)
{
    return uint64_t{1} << chn;
}

// The "dialog" member when it is an object, else null (absent).
json_object *dialog_of(json_object *request)
{
    json_object *dialog = event_member(request, "dialog");
    return json_object_is_type(dialog, json_type_object) ? dialog : nullptr;
}

// ---- Answers ----

json_object *schedule_object(const char *table, int chn, bool ex)
{
    auto schedule = std::make_unique<event_schedule>();
    if (read_event_schedule(VXDB_MAIN_DB, schedule.get(), table, chn) < 0)
        return nullptr;
    return ex ? get_schedule_json_object_ex(schedule.get()) : get_schedule_json_object(schedule.get());
}

bool add(json_object *answer, const char *key, json_object *value)
{
    if (value == nullptr)
        return false;
    json_object_object_add(answer, key, value);
    return true;
}

bool add_schedule(json_object *answer, const event_tables &tables, const schedule_member &member, int chn)
{
    const char *table = tables.*member.table;
    return table == nullptr || add(answer, member.key, schedule_object(table, chn, member.ex));
}

// The members after the record's own: schedules, camera alarm outputs, actions, sound and PTZ list.
// False when something cannot be read (the page answers its error form).
template <typename Record>
bool add_event_members(json_object *answer, const event_tables &tables, const Record &record, int chn)
{
    bool ok = true;
    for (size_t i = 0; ok && i < LEADING_SCHEDULES; ++i)
        ok = add_schedule(answer, tables, schedule_members[i], chn);
    char first[TRIGGER_TEXT_SIZE], second[TRIGGER_TEXT_SIZE];
    vx_copy_text(first, sizeof first, record.tri_chn_alarms[0], sizeof record.tri_chn_alarms[0]);
    vx_copy_text(second, sizeof second, record.tri_chn_alarms[1], sizeof record.tri_chn_alarms[1]);
    ok = ok && add(answer, "triChnAlarms", get_event_chn_alarmout_object(first, second));
    ok = ok && add_schedule(answer, tables, schedule_members[4], chn);
    ok = ok && add(answer, "whiteInfo", get_white_params_json_object(chn, tables.white_params));
    ok = ok && add(answer, "white_interval", json_object_new_int(record.white_interval));
    ok = ok && add_schedule(answer, tables, schedule_members[5], chn);
    ok = ok && add(answer, "warningLightInfo", get_warning_light_params_json_object(chn, tables.warning_params));
    ok = ok && add(answer, "warning_light_interval", json_object_new_int(record.warning_light_interval));
    ok = ok && add_schedule(answer, tables, schedule_members[6], chn);
    ok = ok && add(answer, "httpParams", get_http_params_json_object(chn, tables.http_params));
    ok = ok && add(answer, "audioId", json_object_new_int(record.audio_id));
    ok = ok && add(answer, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
    return ok && add(answer, "ptzParams", get_ptz_params_json_object(tables.kind, chn));
}

// Reads the channel's record and answers the whole event, or the JSON error form.
template <typename Record, size_t N>
void answer_event(const char *data, const event_tables &tables, const json_field (&head)[N],
                  int (*read)(const char *, Record *, int))
{
    event_channel_input input{};
    Record record;
    memset(&record, 0, sizeof record);
    if (json_read_request(data, chnid_key, &input) != 0 || read(VXDB_MAIN_DB, &record, input.chnid) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    record.channel = input.chnid;
    json_ptr answer(json_fields_object(head, N, &record));
    if (!add_event_members(answer.get(), tables, record, input.chnid)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    cgi_answer_json(answer.get());
}

// ---- Saving a dialog ----

// Each schedule and list the dialog holds, on its own; one it does not hold (or that does not
// convert) keeps what is stored. -1 when a store fails.
int save_dialog_lists(const event_tables &tables, int chn, json_object *dialog)
{
    auto schedule = std::make_unique<event_schedule>();
    for (const schedule_member &member : schedule_members) {
        const char *table = tables.*member.table;
        if (table == nullptr)
            continue;
        const int got = member.ex ? get_schedule_by_json_ex(dialog, member.key, schedule.get())
                                  : get_schedule_by_json(dialog, member.key, schedule.get());
        if (got == 0 && write_event_schedule(VXDB_MAIN_DB, schedule.get(), table, chn) != 0)
            return -1;
    }
    auto white = std::make_unique<whiteled_params_table>();
    if (get_white_params_by_json(chn, white.get(), dialog, "whiteInfo") == 0 &&
        write_whiteled_params_all(VXDB_MAIN_DB, &white->blocks[chn], tables.white_params, chn) != 0)
        return -1;
    auto warning = std::make_unique<warning_light_params_table>();
    if (get_warning_light_params_by_json(chn, warning.get(), dialog, "warningLightInfo") == 0 &&
        write_warning_light_params_all(VXDB_MAIN_DB, &warning->blocks[chn], tables.warning_params, chn) != 0)
        return -1;
    http_notification_params http;
    if (get_http_params_by_json(chn, &http, dialog, "httpParams") == 0 &&
        write_http_notification_params(VXDB_MAIN_DB, &http, tables.http_params, chn) != 0)
        return -1;
    return 0;
}

// The dialog's PTZ list, under "ptzChnId" and "ptzType" when it gives them, else under the page's
// channel and event kind; one out of range stores nothing. 1 when stored, else 0.
int save_dialog_ptz(const event_tables &tables, int chn, json_object *dialog)
{
    json_object *list = event_member(dialog, "ptzParams");
    if (list == nullptr)
        return 0;
    int32_t ptz_chn = chn;
    int32_t ptz_type = tables.kind;
    json_object *given_chn = event_member(dialog, "ptzChnId");
    json_object *given_type = event_member(dialog, "ptzType");
    if ((given_chn != nullptr && (event_int(given_chn, &ptz_chn) != 0 || ptz_chn < 0 || ptz_chn >= VIDEO_CHANNELS)) ||
        (given_type != nullptr && (event_int(given_type, &ptz_type) != 0 || event_kind_valid(ptz_type) == 0)))
        return 0;
    return set_ptz_params_by_json(ptz_chn, ptz_type, list);
}

// The record members the dialog holds, over `record`; the number taken.
template <typename Record, size_t N>
int take_dialog_members(json_object *dialog, const json_field (&keys)[N], int chn, Record &record)
{
    json_read_fields(dialog, keys, &record);  // checked when the request was read
    int taken = 0;
    for (const json_field &key : keys)
        taken += event_member(dialog, key.key) != nullptr ? 1 : 0;
    chn_alarmout_entry pair[2] = {};
    pair[0].index = pair[1].index = -1;
    if (get_event_chn_alarmout_by_object(chn, dialog, "triChnAlarms", pair) == 0) {
        ++taken;
        for (int i = 0; i < 2; ++i) {
            if (pair[i].index == i)
                vx_copy_text(record.tri_chn_alarms[i], sizeof record.tri_chn_alarms[i], pair[i].value,
                             sizeof pair[i].value);
        }
    }
    return taken;
}

// Copies the channel's schedules, action lists, HTTP settings and PTZ list, as stored, to every
// channel of the mask. -1 when one cannot be read or written.
int copy_event_settings(const event_tables &tables, int chn, uint64_t mask)
{
    auto schedule = std::make_unique<event_schedule>();
    for (const schedule_member &member : schedule_members) {
        const char *table = tables.*member.table;
        if (table != nullptr && (read_event_schedule(VXDB_MAIN_DB, schedule.get(), table, chn) < 0 ||
                                 copy_event_schedules(VXDB_MAIN_DB, schedule.get(), table, mask) != 0))
            return -1;
    }
    whiteled_params_block white;
    if (read_whiteled_params(VXDB_MAIN_DB, &white, tables.white_params, chn) < 0 ||
        copy_whiteled_params(VXDB_MAIN_DB, &white, tables.white_params, mask) != 0)
        return -1;
    warning_light_params_block warning;
    if (read_warning_light_params(VXDB_MAIN_DB, &warning, tables.warning_params, chn) < 0 ||
        copy_warning_light_params(VXDB_MAIN_DB, &warning, tables.warning_params, mask) != 0)
        return -1;
    http_notification_params http;
    if (read_http_notification_params(VXDB_MAIN_DB, &http, tables.http_params, chn) < 0 ||
        copy_http_notification_params(VXDB_MAIN_DB, &http, tables.http_params, mask) != 0)
        return -1;
    ptz_action_list ptz;
    if (read_ptz_params(VXDB_MAIN_DB, &ptz, tables.kind, chn) < 0 ||
        copy_ptz_params(VXDB_MAIN_DB, &ptz, tables.kind, mask) != 0)
        return -1;
    return 0;
}

// The mask of "copyChn" without the edited channel itself.
uint64_t copy_mask(json_object *request, int chn)
{
    return get_copy_flag_by_json(request, "copyChn", "copyCnt") & ~channel_bit(chn);
}
}  // namespace

// Saves the motion dialog of channel `chn`: its schedules and lists, its PTZ list, and the record
// members it holds ("enable" as sent); tells the main service (MOTION_CHANGED). The number of members
// taken plus 1 for a stored PTZ list; 0 for a null dialog or a channel outside 0..63 (nothing
// stored or sent); -1 when a store fails.
int save_motion_dialog_data(int chn, json_object *dialog)
{
    if (dialog == nullptr || chn < 0 || chn >= VIDEO_CHANNELS)
        return 0;
    if (save_dialog_lists(motion_tables, chn, dialog) != 0)
        return -1;
    const int ptz = save_dialog_ptz(motion_tables, chn, dialog);
    int taken = 0;
    const int rc = vxdb_change<motion_record>(VXDB_MAIN_DB, motion_kind, chn, [&](motion_record &record, bool) {
        taken = take_dialog_members(dialog, motion_dialog_keys, chn, record);
        if (event_member(dialog, "triChannels") != nullptr)
            record.tri_mask = trigger_text_mask(record.tri_channels, sizeof record.tri_channels);
        return taken > 0 ? 0 : 1;
    });
    if (rc < 0)
        return -1;
    send_channel_notice(MOTION_CHANGED, chn);
    return taken + ptz;
}

void on_get_movedetect_info(const char *data)
{
    answer_event(data, motion_tables, motion_answer_head, read_motion);
}

void on_get_videoloss_info(const char *data)
{
    answer_event(data, video_loss_tables, video_loss_answer_head, read_video_lost);
}

void on_set_videoloss_info(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    event_channel_input input{};
    json_object *dialog = dialog_of(request.get());
    video_loss_record probe{};
    if (json_read_fields(request.get(), chnid_key, &input) != 0 ||
        (dialog != nullptr && json_read_fields(dialog, video_loss_dialog_keys, &probe) != 0)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    const int chn = input.chnid;
    if (dialog != nullptr) {
        if (save_dialog_lists(video_loss_tables, chn, dialog) != 0) {
            cgi_error_to_webserver(CGI_JSON);
            return;
        }
        const int ptz = save_dialog_ptz(video_loss_tables, chn, dialog);
        // The main service reads 2 in both enable words of a record this page saved.
        const int rc = vxdb_change<video_loss_record>(VXDB_MAIN_DB, video_loss_kind, chn,
                                                      [&](video_loss_record &record, bool) {
                                                          if (take_dialog_members(dialog, video_loss_dialog_keys, chn,
                                                                                  record) == 0 && ptz == 0)
                                                              return 1;
                                                          record.enable = 2;
                                                          record.email_enable = 2;
                                                          return 0;
                                                      });
        if (rc < 0) {
            cgi_error_to_webserver(CGI_JSON);
            return;
        }
    }
    uint64_t mask = copy_mask(request.get(), chn);
    if (mask != 0) {
        video_loss_record record;
        if (read_video_lost(VXDB_MAIN_DB, &record, chn) < 0 || copy_video_losts(VXDB_MAIN_DB, &record, mask) != 0 ||
            copy_event_settings(video_loss_tables, chn, mask) != 0) {
            cgi_error_to_webserver(CGI_JSON);
            return;
        }
    }
    mask |= channel_bit(chn);
    cgi_send_request(on_video_ipc_callback, VIDEO_LOSS_MASK_CHANGED, sizeof mask, &mask);
    cgi_answer_text("OK");
}

void on_set_motion_dialog_info(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    motion_page_input input{};
    motion_record probe{};
    json_object *dialog = dialog_of(request.get());
    if (json_read_fields(request.get(), motion_page_keys, &input) != 0 ||
        json_read_fields(request.get(), motion_page_record_keys, &probe) != 0 ||
        (dialog != nullptr && json_read_fields(dialog, motion_dialog_keys, &probe) != 0)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    const int chn = input.chnid;
    motion_record record;
    if (save_motion_dialog_data(chn, dialog) < 0 || read_motion(VXDB_MAIN_DB, &record, chn) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    // The page's detection settings go to the copies and to the main service, which keeps the
    // edited channel's own.
    json_read_fields(request.get(), motion_page_record_keys, &record);
    const uint64_t mask = copy_mask(request.get(), chn);
    if (mask != 0 && (copy_motions(VXDB_MAIN_DB, &record, mask) != 0 || copy_event_settings(motion_tables, chn, mask) != 0)) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }

    motion_page_request page;
    memset(&page, 0, sizeof page);
    vx_copy_text(page.area, sizeof page.area, record.motion_table, sizeof record.motion_table);
    page.sensitivity = record.sensitivity;
    page.channel = chn;
    page.enable_ms = record.enable_ms;
    page.target_count = video_mask_channels(mask, page.targets);
    page.enable_ai = input.enable_ai;
    page.detection = input.detection;
    smart_motion_request smart;
    memset(&smart, 0, sizeof smart);
    smart.channel = chn;
    smart.on = record.enable_ms == 1 ? 1 : 0;
    smart.target_count = video_mask_channels(mask, smart.targets);
    const all_day_schedule copies = make_all_day_schedule(0, page.targets, page.target_count);

    cgi_send_operation_log_mask(on_video_ipc_callback, LOG_MOTION, chn + 1, mask);
    cgi_send_request(on_video_ipc_callback, MOTION_PAGE, sizeof page, &page);
    cgi_send_request(on_video_ipc_callback, MOTION_COPIED, sizeof mask, &mask);
    cgi_send_request(on_video_ipc_callback, SMART_MOTION, sizeof smart, &smart);
    if (smart.on == 1)
        cgi_send_request(on_video_ipc_callback, SMART_MOTION_SCHEDULE_COPY, sizeof copies, &copies);
    cgi_answer_text("OK");
}
