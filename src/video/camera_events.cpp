// Events the camera itself detects: its alarm input ("/6090", "/6091") and volume detection ("/6092",
// "/6093"). The main service answers the reads from the camera; the pages store what the main
// service reads back and tell it of the change.
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

#include <cstdint>

namespace {
// What both setters read; volume detection adds its five levels and events.
struct camera_event_input {
    int32_t channel;
    int32_t enable;
    int32_t type;
    int32_t volume;
    int32_t duration;
    int32_t on_event;
    int32_t off_event;
    int32_t ongoing_event;
    int32_t tri_actions;
    char tri_channels[TRIGGER_TEXT_SIZE];
};

#define CAMERA_EVENT_KEYS                                                                                    \
    JSON_INT("camId", camera_event_input, channel, JF_REQUIRED, 0, VIDEO_CHANNELS - 1),               \
        JSON_INT("enable", camera_event_input, enable, JF_REQUIRED, 0, 1),                            \
        JSON_INT("type", camera_event_input, type, JF_REQUIRED, 0, INT32_MAX),                        \
        JSON_INT("triActions", camera_event_input, tri_actions, JF_REQUIRED, JF_ANY),                         \
        JSON_TEXT("triChannels", camera_event_input, tri_channels, JF_REQUIRED)

const json_field cameraio_keys[] = {CAMERA_EVENT_KEYS};

const json_field volumedetect_keys[] = {
    CAMERA_EVENT_KEYS,
    JSON_INT("volume", camera_event_input, volume, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("duration", camera_event_input, duration, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("onEvent", camera_event_input, on_event, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("offEvent", camera_event_input, off_event, JF_REQUIRED, 0, INT32_MAX),
    JSON_INT("ongoingEvent", camera_event_input, ongoing_event, JF_REQUIRED, 0, INT32_MAX),
};

const json_field cameraio_answer[] = {
    JSON_OUT_INT("camId", cameraio_reply, channel),
    JSON_OUT_INT("enable", cameraio_reply, enable),
    JSON_OUT_INT("type", cameraio_reply, type),
    JSON_OUT_INT("triActions", cameraio_reply, tri_actions),
    JSON_OUT_TEXT("triChannels", cameraio_reply, tri_channels),
};

const json_field volumedetect_answer[] = {
    JSON_OUT_INT("camId", volumedetect_reply, channel),
    JSON_OUT_INT("enable", volumedetect_reply, enable),
    JSON_OUT_INT("type", volumedetect_reply, type),
    JSON_OUT_INT("volume", volumedetect_reply, volume),
    JSON_OUT_INT("duration", volumedetect_reply, duration),
    JSON_OUT_INT("onEvent", volumedetect_reply, on_event),
    JSON_OUT_INT("offEvent", volumedetect_reply, off_event),
    JSON_OUT_INT("ongoingEvent", volumedetect_reply, ongoing_event),
    JSON_OUT_INT("triActions", volumedetect_reply, tri_actions),
    JSON_OUT_TEXT("triChannels", volumedetect_reply, tri_channels),
};

template <typename Reply, const auto &keys> int on_camera_event_cb(int /*count*/, const void *payload)
{
    const Reply reply = cgi_reply_record<Reply>(payload, 0);
    json_ptr answer(json_fields_object(keys, std::size(keys), &reply));
    return cgi_answer_json(answer.get());
}

const cgi_reply_route camera_event_routes[] = {
    {reply_of(CAMERA_IO), sizeof(cameraio_reply), on_camera_event_cb<cameraio_reply, cameraio_answer>},
    {reply_of(VOLUME_DETECT), sizeof(volumedetect_reply), on_camera_event_cb<volumedetect_reply, volumedetect_answer>},
};

void get_camera_event(const char *data, int32_t code)
{
    int32_t channel = 0;
    if (web_parse_int(data, 0, VIDEO_CHANNELS - 1, &channel) != 0)
        return;
    cgi_exchange(on_video_ipc_callback, code, sizeof channel, &channel, CGI_JSON);
}

// Stores the event (channel, enable, the mask of "triChannels", "triActions"), then tells the main
// service with `length` bytes of the request and logs the change.
void set_camera_event(const camera_event_input &input, int (*write)(const char *, const camera_event_record *),
                      int32_t code, int length, const oplog_kind &log)
{
    camera_event_record record{};
    record.channel = input.channel;
    record.enable = input.enable;
    record.tri_mask = trigger_text_mask(input.tri_channels, sizeof input.tri_channels);
    record.tri_actions = input.tri_actions;
    if (write(VXDB_MAIN_DB, &record) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    // The camera-IO request is the first three words of the volume request.
    const volumedetect_request request = {input.channel,  input.enable,    input.type,      input.volume,
                                          input.duration, input.on_event, input.off_event, input.ongoing_event};
    cgi_send_request(on_video_ipc_callback, code, length, &request);
    cgi_send_operation_log(on_video_ipc_callback, log, input.channel + 1);
    cgi_answer_text("OK");
}
}  // namespace

const cgi_reply_table video_camera_event_replies = {CGI_ROWS(camera_event_routes)};

void on_get_cameraio(const char *data)
{
    get_camera_event(data, CAMERA_IO);
}

void on_set_cameraio(const char *data)
{
    camera_event_input input{};
    if (json_read_request(data, cameraio_keys, &input) != 0)
        return;
    set_camera_event(input, write_cameraio, CAMERA_IO_SET, sizeof(cameraio_request), LOG_CAMERA_IO);
}

void on_get_volumedetect(const char *data)
{
    get_camera_event(data, VOLUME_DETECT);
}

void on_set_volumedetect(const char *data)
{
    camera_event_input input{};
    if (json_read_request(data, volumedetect_keys, &input) != 0)
        return;
    set_camera_event(input, write_volumedetect, VOLUME_DETECT_SET, sizeof(volumedetect_request), LOG_VOLUME_DETECT);
}
