// The motion, video-loss and camera-event requests: the live motion map of each channel (its area,
// sensitivity and analysis switch, changed by the motion pages' requests) and the camera-IO and
// volume-detection events, answered from the database records the pages store and the last settings
// the camera was sent. The notices that only tell the device of a change are logged decoded.
#include "sim_log.h"
#include "sim_module.h"

#include "video/video_codes.h"
#include "video/video_db.h"
#include "video/video_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_txn.h"
#include "vxrt/vx_text.h"

#include <cinttypes>
#include <cstring>
#include <mutex>

namespace {
constexpr int32_t SIM_DEFAULT_SENSITIVITY = 3;

struct motion_state {
    char area[MOTION_WIRE_AREA_SIZE];
    int32_t sensitivity;
    int32_t enable_ai;
    int32_t enable_ms;
};

// What the cameras hold, for the simulator's lifetime: every connection sees the same.
struct video_state {
    std::mutex lock;
    motion_state motion[VIDEO_CHANNELS];
    cameraio_request cameraio[VIDEO_CHANNELS];
    volumedetect_request volume[VIDEO_CHANNELS];

    video_state()
    {
        for (int n = 0; n < VIDEO_CHANNELS; ++n) {
            motion[n] = {};
            motion[n].sensitivity = SIM_DEFAULT_SENSITIVITY;
            cameraio[n] = {n, 0, 0};
            volume[n] = {n, 0, 0, 50, 10, 0, 0, 0};
        }
    }
};

video_state &state()
{
    static video_state cameras;
    return cameras;
}

bool is_channel(int32_t channel)
{
    return channel >= 0 && channel < VIDEO_CHANNELS;
}

std::string targets_text(const int32_t *targets, int32_t count)
{
    std::string list;
    for (int32_t i = 0; i < count && i < VIDEO_CHANNELS; ++i)
        list += (list.empty() ? "" : ",") + std::to_string(targets[i]);
    return list.empty() ? "none" : list;
}

// The '0'/'1' text of a stored trigger mask, one character per channel.
void mask_text(uint64_t mask, char (&text)[TRIGGER_TEXT_SIZE])
{
    for (int n = 0; n < VIDEO_CHANNELS; ++n)
        text[n] = (mask >> n & 1u) != 0 ? '1' : '0';
    text[VIDEO_CHANNELS] = '\0';
}

void on_motion_map(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    int32_t channel = -1;
    if (!sim_read_record(payload, &channel) || !is_channel(channel)) {
        answer.note = sim_format("motion map of channel %d: no such channel, no reply", channel);
        return;
    }
    motion_map_reply reply;
    memset(&reply, 0, sizeof reply);
    video_state &cameras = state();
    {
        std::lock_guard<std::mutex> hold(cameras.lock);
        const motion_state &motion = cameras.motion[channel];
        memcpy(reply.map, motion.area, sizeof reply.map);
        reply.sensitivity = motion.sensitivity;
        reply.enable_ai = motion.enable_ai;
    }
    reply.enable = 1;
    sim_reply_bytes(answer, reply_of(code), &reply, sizeof reply);
    answer.note = sim_format("motion map of channel %d: sensitivity %d enableAI %d area %s", channel,
                             reply.sensitivity, reply.enable_ai,
                             sim_printable(reply.map, sizeof reply.map, 40).c_str());
}

void on_motion_area(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    motion_area_request request;
    if (!sim_read_record(payload, &request)) {
        answer.note = "motion area: " + sim_short_payload(payload, sizeof request);
        return;
    }
    answer.note = sim_format("motion area of channel %d: sensitivity %d area %s", request.channel,
                             request.sensitivity, sim_printable(request.area, sizeof request.area, 40).c_str());
    if (!is_channel(request.channel))
        return;
    video_state &cameras = state();
    std::lock_guard<std::mutex> hold(cameras.lock);
    motion_state &motion = cameras.motion[request.channel];
    memcpy(motion.area, request.area, sizeof motion.area);
    motion.sensitivity = request.sensitivity;
}

void on_motion_page(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    motion_page_request request;
    if (!sim_read_record(payload, &request)) {
        answer.note = "motion page: " + sim_short_payload(payload, sizeof request);
        return;
    }
    answer.note = sim_format("motion page of channel %d: sensitivity %d enableMS %d enableAI %d detection %d "
                             "targets %s area %s", request.channel, request.sensitivity, request.enable_ms,
                             request.enable_ai, request.detection,
                             targets_text(request.targets, request.target_count).c_str(),
                             sim_printable(request.area, sizeof request.area, 40).c_str());
    if (!is_channel(request.channel))
        return;
    {
        video_state &cameras = state();
        std::lock_guard<std::mutex> hold(cameras.lock);
        motion_state &motion = cameras.motion[request.channel];
        memcpy(motion.area, request.area, sizeof motion.area);
        motion.sensitivity = request.sensitivity;
        motion.enable_ai = request.enable_ai;
        motion.enable_ms = request.enable_ms;
    }
    // The page leaves the edited channel's own record to the device, which keeps what it applies.
    const int rc = vxdb_change<motion_record>(VXDB_MAIN_DB, motion_kind, request.channel, [&](motion_record &record, bool) {
        vx_copy_text(record.motion_table, sizeof record.motion_table, request.area, sizeof request.area);
        record.sensitivity = request.sensitivity;
        record.enable_ms = request.enable_ms;
        return 0;
    });
    if (rc != 0)
        answer.note += " (the motion record cannot be stored)";
}

void on_smart_motion(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    smart_motion_request request;
    if (!sim_read_record(payload, &request)) {
        answer.note = "smart motion: " + sim_short_payload(payload, sizeof request);
        return;
    }
    answer.note = sim_format("smart motion of channel %d: %s, targets %s", request.channel,
                             request.on == 1 ? "on" : "off", targets_text(request.targets, request.target_count).c_str());
    if (!is_channel(request.channel))
        return;
    video_state &cameras = state();
    std::lock_guard<std::mutex> hold(cameras.lock);
    cameras.motion[request.channel].enable_ms = request.on;
}

void on_all_day_schedule(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    all_day_schedule schedule;
    const char *what = code == SMART_MOTION_SCHEDULE ? "smart-motion schedule" : "smart-motion schedule copy";
    if (!sim_read_record(payload, &schedule)) {
        answer.note = std::string(what) + ": " + sim_short_payload(payload, sizeof schedule);
        return;
    }
    const int32_t *first = schedule.days[0].segments[0];
    answer.note = sim_format("%s: channel %d, day 0 %02d:%02d-%02d:%02d, targets %s", what, schedule.channel,
                             first[0], first[1], first[2], first[3],
                             targets_text(schedule.targets, schedule.target_count).c_str());
}

void on_cameraio_set(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    cameraio_request request;
    if (!sim_read_record(payload, &request)) {
        answer.note = "camera IO settings: " + sim_short_payload(payload, sizeof request);
        return;
    }
    answer.note = sim_format("camera IO settings of channel %d: enable %d type %d", request.channel, request.enable,
                             request.type);
    if (!is_channel(request.channel))
        return;
    video_state &cameras = state();
    std::lock_guard<std::mutex> hold(cameras.lock);
    cameras.cameraio[request.channel] = request;
}

void on_volume_set(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    volumedetect_request request;
    if (!sim_read_record(payload, &request)) {
        answer.note = "volume detection settings: " + sim_short_payload(payload, sizeof request);
        return;
    }
    answer.note = sim_format("volume detection settings of channel %d: enable %d type %d volume %d duration %d "
                             "events on %d off %d ongoing %d", request.channel, request.enable, request.type,
                             request.volume, request.duration, request.on_event, request.off_event,
                             request.ongoing_event);
    if (!is_channel(request.channel))
        return;
    video_state &cameras = state();
    std::lock_guard<std::mutex> hold(cameras.lock);
    cameras.volume[request.channel] = request;
}

// The stored event of the channel (its enable, triggers and actions) beside what the camera was
// last sent; a record that cannot be read gives no reply, as a device whose settings are unreadable.
bool stored_event(int (*read)(const char *, camera_event_record *, int), int32_t channel,
                  camera_event_record *record, sim_answer &answer, const char *what)
{
    if (!is_channel(channel)) {
        answer.note = sim_format("%s of channel %d: no such channel, no reply", what, channel);
        return false;
    }
    if (read(VXDB_MAIN_DB, record, channel) < 0) {
        answer.note = sim_format("%s of channel %d: the database cannot be read, no reply", what, channel);
        return false;
    }
    return true;
}

void on_cameraio(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    int32_t channel = -1;
    sim_read_record(payload, &channel);
    camera_event_record stored{};
    if (!stored_event(read_cameraio, channel, &stored, answer, "camera IO"))
        return;
    cameraio_reply reply;
    memset(&reply, 0, sizeof reply);
    {
        video_state &cameras = state();
        std::lock_guard<std::mutex> hold(cameras.lock);
        reply.type = cameras.cameraio[channel].type;
    }
    reply.channel = channel;
    reply.enable = stored.enable;
    reply.tri_actions = stored.tri_actions;
    mask_text(stored.tri_mask, reply.tri_channels);
    sim_reply_bytes(answer, reply_of(code), &reply, sizeof reply);
    answer.note = sim_format("camera IO of channel %d: enable %d type %d actions %d triggers 0x%016" PRIx64, channel,
                             reply.enable, reply.type, reply.tri_actions, stored.tri_mask);
}

void on_volume(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    int32_t channel = -1;
    sim_read_record(payload, &channel);
    camera_event_record stored{};
    if (!stored_event(read_volumedetect, channel, &stored, answer, "volume detection"))
        return;
    volumedetect_reply reply;
    memset(&reply, 0, sizeof reply);
    {
        video_state &cameras = state();
        std::lock_guard<std::mutex> hold(cameras.lock);
        const volumedetect_request &sent = cameras.volume[channel];
        reply.type = sent.type;
        reply.volume = sent.volume;
        reply.duration = sent.duration;
        reply.on_event = sent.on_event;
        reply.off_event = sent.off_event;
        reply.ongoing_event = sent.ongoing_event;
    }
    reply.channel = channel;
    reply.enable = stored.enable;
    reply.tri_actions = stored.tri_actions;
    mask_text(stored.tri_mask, reply.tri_channels);
    sim_reply_bytes(answer, reply_of(code), &reply, sizeof reply);
    answer.note = sim_format("volume detection of channel %d: enable %d type %d volume %d actions %d triggers "
                             "0x%016" PRIx64, channel, reply.enable, reply.type, reply.volume, reply.tri_actions,
                             stored.tri_mask);
}

void on_channel_notice(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    const char *what = code == MOTION_CHANGED ? "motion settings changed" : "video-loss settings changed";
    int32_t channel;
    if (!sim_read_record(payload, &channel))
        answer.note = std::string(what) + ": " + sim_short_payload(payload, sizeof channel);
    else
        answer.note = sim_format("%s: channel %d", what, channel);
}

void on_mask_notice(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    const char *what = code == MOTION_COPIED ? "motion settings copied" : "video-loss settings changed";
    uint64_t mask;
    if (!sim_read_record(payload, &mask))
        answer.note = std::string(what) + ": " + sim_short_payload(payload, sizeof mask);
    else
        answer.note = sim_format("%s: channels 0x%016" PRIx64, what, mask);
}

void on_exception_notice(sim_context &, int32_t code, const sim_payload &, sim_answer &answer)
{
    answer.note = code == EXCEPTION_ACTIONS_CHANGED ? "exception actions changed"
                                                    : "exception HTTP notifications changed";
}

const sim_request video_requests[] = {
    {MOTION_MAP, on_motion_map},
    {MOTION_AREA, on_motion_area},
    {MOTION_PAGE, on_motion_page},
    {SMART_MOTION, on_smart_motion},
    {SMART_MOTION_SCHEDULE, on_all_day_schedule},
    {SMART_MOTION_SCHEDULE_COPY, on_all_day_schedule},
    {CAMERA_IO, on_cameraio},
    {CAMERA_IO_SET, on_cameraio_set},
    {VOLUME_DETECT, on_volume},
    {VOLUME_DETECT_SET, on_volume_set},
    {MOTION_CHANGED, on_channel_notice},
    {VIDEO_LOSS_CHANGED, on_channel_notice},
    {MOTION_COPIED, on_mask_notice},
    {VIDEO_LOSS_MASK_CHANGED, on_mask_notice},
    {EXCEPTION_ACTIONS_CHANGED, on_exception_notice},
    {EXCEPTION_HTTP_CHANGED, on_exception_notice},
};
}  // namespace

const sim_module sim_video_module = {"video", video_requests, {}};
