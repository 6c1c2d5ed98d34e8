// The early video-loss pages: the settings ("/6014", "/6016") and the buzzer schedule ("/6015",
// "/6017") of one channel.
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

#include <cstdint>
#include <memory>

namespace {
struct videolost_input {
    int32_t channel;
    int32_t enable;
    int32_t tri_alarms;
    int32_t interval;
};

const json_field videolost_keys[] = {
    JSON_INT("camId", videolost_input, channel, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
    JSON_INT("enable", videolost_input, enable, JF_REQUIRED, 0, 2),
    JSON_INT("triAlarms", videolost_input, tri_alarms, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("interval", videolost_input, interval, JF_REQUIRED, 0, INT32_MAX),
};

struct videolost_schedule_input {
    int32_t channel;
    int32_t enable;
};

const json_field videolost_schedule_keys[] = {
    JSON_INT("camId", videolost_schedule_input, channel, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),
    JSON_INT("enable", videolost_schedule_input, enable, JF_OPTIONAL, 0, 2),
};

const json_field videolost_enable_key[] = {
    JSON_INT("enable", video_loss_record, enable, JF_OPTIONAL, 0, 2),
};

const json_field videolost_answer[] = {
    JSON_OUT_INT("camId", video_loss_record, channel),
    JSON_OUT_INT("enable", video_loss_record, enable),
    JSON_OUT_INT("triAlarms", video_loss_record, tri_alarms),
    JSON_OUT_INT("interval", video_loss_record, interval),
};
}  // namespace

void on_get_videolost_info(const char *data)
{
    int channel = 0;
    if (web_parse_int(data, 0, VIDEO_CHANNELS - 1, &channel) != 0)
        return;
    video_loss_record record{};
    if (read_video_lost(VXDB_MAIN_DB, &record, channel) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_ptr answer(json_fields_object(CGI_ROWS(videolost_answer), &record));
    cgi_answer_json(answer.get());
}

void on_set_videolost_info(const char *data)
{
    videolost_input input{};
    if (json_read_request(data, videolost_keys, &input) != 0)
        return;
    // The enable word is the schedule page's ("/6017").
    const int rc = vxdb_change<video_loss_record>(VXDB_MAIN_DB, video_loss_kind, input.channel,
                                                  [&](video_loss_record &record, bool) {
                                                      record.tri_alarms = input.tri_alarms;
                                                      record.interval = input.interval;
                                                      return 0;
                                                  });
    if (rc != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(VIDEO_LOSS_CHANGED, input.channel);
    cgi_send_operation_log(on_video_ipc_callback, LOG_VIDEO_LOSS, input.channel + 1);
    cgi_answer_text("OK");
}

void on_get_videolost_schedule(const char *data)
{
    answer_channel_schedule(data, read_videoloss_audible_schedule);
}

void on_set_videolost_schedule(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    videolost_schedule_input input{};
    if (json_read_fields(request.get(), videolost_schedule_keys, &input) != 0)
        return;
    auto schedule = std::make_unique<event_schedule>();
    if (get_schedule_by_json_ex(request.get(), "schedule", schedule.get()) == 0 &&
        write_video_loss_schedule(VXDB_MAIN_DB, schedule.get(), input.channel) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    // An "enable" left out keeps the stored one.
    const int rc = vxdb_change<video_loss_record>(VXDB_MAIN_DB, video_loss_kind, input.channel,
                                                  [&](video_loss_record &record, bool) {
                                                      return json_read_fields(request.get(), videolost_enable_key, &record);
                                                  });
    if (rc != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    send_channel_notice(VIDEO_LOSS_CHANGED, input.channel);
    cgi_answer_text("OK");
}
