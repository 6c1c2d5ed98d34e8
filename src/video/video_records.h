// Records of the motion, video-loss, camera-IO, volume-detection and exception pages: what the
// configuration database keeps per channel, and the payloads exchanged with the main service.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int VIDEO_CHANNELS = 64;          // channels 0..63
constexpr int TRIGGER_TEXT_SIZE = 65;       // one '0'/'1' per channel and the terminator
constexpr int MOTION_AREA_SIZE = 368;       // the stored motion area (at most 367 characters)
constexpr int MOTION_WIRE_AREA_SIZE = 300;  // the motion area of the requests (at most 299 characters)
constexpr int EXCEPTION_ACTIONS = 12;

// ---- Database records ----

// Motion detection of one channel (712 bytes).
struct motion_record {
    int32_t channel;
    int32_t enable;
    int32_t sensitivity;
    int32_t reserved0;
    uint64_t tri_mask;  // bit n for every '1' at position n of tri_channels
    int32_t tri_alarms;
    char motion_table[MOTION_AREA_SIZE];
    int32_t interval;
    int32_t enable_ms;  // smart motion
    char tri_channels[TRIGGER_TEXT_SIZE];
    char reserved1[3];
    int32_t email_enable;
    int32_t email_interval;
    char tri_chn_alarms[2][TRIGGER_TEXT_SIZE];  // camera alarm outputs
    char reserved2[2];
    int32_t ptz_interval;
    int32_t alarmout_interval;
    int32_t white_interval;
    int32_t warning_light_interval;
    int32_t email_pic_enable;
    char tri_channels_pic[TRIGGER_TEXT_SIZE];
    char reserved3[3];
    int32_t audio_id;
    int32_t http_notification_interval;
    int32_t reserved4;
};
static_assert(sizeof(motion_record) == 712);
static_assert(offsetof(motion_record, enable) == 4 && offsetof(motion_record, sensitivity) == 8);
static_assert(offsetof(motion_record, tri_mask) == 16 && offsetof(motion_record, tri_alarms) == 24);
static_assert(offsetof(motion_record, motion_table) == 28 && offsetof(motion_record, interval) == 396);
static_assert(offsetof(motion_record, enable_ms) == 400 && offsetof(motion_record, tri_channels) == 404);
static_assert(offsetof(motion_record, email_enable) == 472 && offsetof(motion_record, email_interval) == 476);
static_assert(offsetof(motion_record, tri_chn_alarms) == 480 && offsetof(motion_record, ptz_interval) == 612);
static_assert(offsetof(motion_record, alarmout_interval) == 616 && offsetof(motion_record, white_interval) == 620);
static_assert(offsetof(motion_record, warning_light_interval) == 624);
static_assert(offsetof(motion_record, email_pic_enable) == 628 && offsetof(motion_record, tri_channels_pic) == 632);
static_assert(offsetof(motion_record, audio_id) == 700 && offsetof(motion_record, http_notification_interval) == 704);

// Video loss of one channel (184 bytes). The dialog page stores 2 in enable and email_enable; the
// main service reads that value.
struct video_loss_record {
    int32_t channel;
    int32_t enable;  // 0..2
    int32_t tri_alarms;
    int32_t interval;
    int32_t email_enable;
    int32_t email_interval;
    char tri_chn_alarms[2][TRIGGER_TEXT_SIZE];
    char reserved0[2];
    int32_t reserved1;
    int32_t ptz_interval;
    int32_t alarmout_interval;
    int32_t white_interval;
    int32_t warning_light_interval;
    int32_t audio_id;
    int32_t http_notification_interval;
};
static_assert(sizeof(video_loss_record) == 184);
static_assert(offsetof(video_loss_record, enable) == 4 && offsetof(video_loss_record, tri_alarms) == 8);
static_assert(offsetof(video_loss_record, interval) == 12 && offsetof(video_loss_record, email_enable) == 16);
static_assert(offsetof(video_loss_record, email_interval) == 20 && offsetof(video_loss_record, tri_chn_alarms) == 24);
static_assert(offsetof(video_loss_record, reserved1) == 156 && offsetof(video_loss_record, ptz_interval) == 160);
static_assert(offsetof(video_loss_record, alarmout_interval) == 164 && offsetof(video_loss_record, white_interval) == 168);
static_assert(offsetof(video_loss_record, warning_light_interval) == 172);
static_assert(offsetof(video_loss_record, audio_id) == 176 && offsetof(video_loss_record, http_notification_interval) == 180);

// A camera's alarm-input (camera IO) or volume-detection event as the database keeps it; the main
// service reads it when it answers CAMERA_IO and VOLUME_DETECT. Our layout (24 bytes).
struct camera_event_record {
    int32_t channel;
    int32_t enable;
    uint64_t tri_mask;  // the channels the event triggers
    int32_t tri_actions;
    int32_t reserved;
};
static_assert(sizeof(camera_event_record) == 24);
static_assert(offsetof(camera_event_record, tri_mask) == 8 && offsetof(camera_event_record, tri_actions) == 16);

// The exception actions: one action word per exception kind in the page's order, then the mail
// interval of a recording failure (one record, 52 bytes).
struct trigger_alarms {
    int32_t actions[EXCEPTION_ACTIONS];
    int32_t record_failed_mail_interval;
};
static_assert(sizeof(trigger_alarms) == 52);

// ---- Requests to the main service ----

// MOTION_AREA (340 bytes).
struct motion_area_request {
    char area[MOTION_WIRE_AREA_SIZE];
    int32_t reserved;
    int32_t sensitivity;
    int32_t channel;
    char zero[28];
};
static_assert(sizeof(motion_area_request) == 340);
static_assert(offsetof(motion_area_request, sensitivity) == 304 && offsetof(motion_area_request, channel) == 308);

// One day of the all-day schedule (136 bytes): four segments, each {0, 0, 24, 0}.
struct all_day_entry {
    char zero[64];
    int32_t day;  // 0..6
    int32_t enable;
    int32_t segments[4][4];  // start hour, start minute, end hour, end minute
};
static_assert(sizeof(all_day_entry) == 136);
static_assert(offsetof(all_day_entry, day) == 64 && offsetof(all_day_entry, segments) == 72);

// SMART_MOTION_SCHEDULE and SMART_MOTION_SCHEDULE_COPY (1216 bytes).
struct all_day_schedule {
    int32_t channel;  // the channel (3209) or 0 (3252)
    all_day_entry days[7];
    int32_t targets[VIDEO_CHANNELS];  // copy targets in ascending order (3252)
    int32_t target_count;
};
static_assert(sizeof(all_day_schedule) == 1216);
static_assert(offsetof(all_day_schedule, days) == 4 && offsetof(all_day_schedule, targets) == 956);
static_assert(offsetof(all_day_schedule, target_count) == 1212);

// SMART_MOTION (268 bytes).
struct smart_motion_request {
    int32_t channel;
    int32_t on;  // 1 on, 0 off
    int32_t targets[VIDEO_CHANNELS];
    int32_t target_count;
};
static_assert(sizeof(smart_motion_request) == 268);
static_assert(offsetof(smart_motion_request, targets) == 8 && offsetof(smart_motion_request, target_count) == 264);

// CAMERA_IO_SET (12 bytes).
struct cameraio_request {
    int32_t channel;
    int32_t enable;
    int32_t type;
};
static_assert(sizeof(cameraio_request) == 12);

// VOLUME_DETECT_SET (32 bytes).
struct volumedetect_request {
    int32_t channel;
    int32_t enable;
    int32_t type;
    int32_t volume;
    int32_t duration;
    int32_t on_event;
    int32_t off_event;
    int32_t ongoing_event;
};
static_assert(sizeof(volumedetect_request) == 32);

// MOTION_PAGE (580 bytes).
struct motion_page_request {
    char area[MOTION_WIRE_AREA_SIZE];
    int32_t sensitivity;
    int32_t channel;
    int32_t enable_ms;
    int32_t targets[VIDEO_CHANNELS];
    int32_t target_count;
    int32_t enable_ai;
    int32_t detection;
};
static_assert(sizeof(motion_page_request) == 580);
static_assert(offsetof(motion_page_request, sensitivity) == 300 && offsetof(motion_page_request, channel) == 304);
static_assert(offsetof(motion_page_request, enable_ms) == 308 && offsetof(motion_page_request, targets) == 312);
static_assert(offsetof(motion_page_request, target_count) == 568 && offsetof(motion_page_request, enable_ai) == 572);
static_assert(offsetof(motion_page_request, detection) == 576);

// ---- Replies ----

// reply_of(MOTION_MAP) (340 bytes). The map may fill its 300 bytes without a terminator.
struct motion_map_reply {
    int32_t enable;
    char map[MOTION_WIRE_AREA_SIZE];
    int32_t sensitivity;
    int32_t reserved0;
    int32_t result;
    int32_t model_type;
    int32_t fishdisplay;
    int32_t fishtransfer;
    int32_t fishinstall;
    int32_t enable_ai;
    int32_t reserved1;
};
static_assert(sizeof(motion_map_reply) == 340);
static_assert(offsetof(motion_map_reply, map) == 4 && offsetof(motion_map_reply, sensitivity) == 304);
static_assert(offsetof(motion_map_reply, result) == 312 && offsetof(motion_map_reply, model_type) == 316);
static_assert(offsetof(motion_map_reply, fishinstall) == 328 && offsetof(motion_map_reply, enable_ai) == 332);

// reply_of(CAMERA_IO) (92 bytes). The trigger text is read up to 64 characters, one per channel.
struct cameraio_reply {
    int32_t lead;
    int32_t channel;
    int32_t enable;
    int32_t type;
    int32_t tri_actions;
    int32_t reserved;
    char tri_channels[TRIGGER_TEXT_SIZE];
    char tail[3];
};
static_assert(sizeof(cameraio_reply) == 92);
static_assert(offsetof(cameraio_reply, channel) == 4 && offsetof(cameraio_reply, tri_actions) == 16);
static_assert(offsetof(cameraio_reply, tri_channels) == 24);

// reply_of(VOLUME_DETECT) (112 bytes).
struct volumedetect_reply {
    int32_t lead;
    int32_t channel;
    int32_t enable;
    int32_t type;
    int32_t volume;
    int32_t duration;
    int32_t on_event;
    int32_t off_event;
    int32_t ongoing_event;
    int32_t tri_actions;
    int32_t reserved;
    char tri_channels[TRIGGER_TEXT_SIZE];
    char tail[3];
};
static_assert(sizeof(volumedetect_reply) == 112);
static_assert(offsetof(volumedetect_reply, channel) == 4 && offsetof(volumedetect_reply, volume) == 16);
static_assert(offsetof(volumedetect_reply, tri_actions) == 36 && offsetof(volumedetect_reply, tri_channels) == 44);
