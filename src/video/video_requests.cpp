#include "video/video_requests.h"
#include "link/event_records.h"
#include "link/event_schedule.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "video/video_codes.h"
#include "video/video_module.h"
#include "vxdb/vxdb.h"

#include <algorithm>
#include <cstring>
#include <memory>

uint64_t trigger_text_mask(const char *text, size_t size)
{
    uint64_t mask = 0;
    const size_t end = std::min<size_t>(strnlen(text, size), VIDEO_CHANNELS);
    for (size_t n = 0; n < end; ++n) {
        if (text[n] == '1')
            mask |= uint64_t{1} << n;
    }
    return mask;
}

all_day_schedule make_all_day_schedule(int32_t channel, const int32_t *targets, int count)
{
    all_day_schedule schedule;
    memset(&schedule, 0, sizeof schedule);
    schedule.channel = channel;
    for (int d = 0; d < 7; ++d) {
        schedule.days[d].day = d;
        schedule.days[d].enable = 1;
        for (auto &segment : schedule.days[d].segments) {
            segment[0] = 0;
            segment[1] = 0;
            segment[2] = 24;
            segment[3] = 0;
        }
    }
    count = std::clamp(count, 0, VIDEO_CHANNELS);
    std::copy(targets, targets + count, schedule.targets);
    schedule.target_count = count;
    return schedule;
}

void send_smart_motion(int32_t channel, bool on)
{
    smart_motion_request smart;
    memset(&smart, 0, sizeof smart);
    smart.channel = channel;
    smart.on = on ? 1 : 0;
    cgi_send_request(on_video_ipc_callback, SMART_MOTION, sizeof smart, &smart);
    if (on) {
        const all_day_schedule schedule = make_all_day_schedule(channel, nullptr, 0);
        cgi_send_request(on_video_ipc_callback, SMART_MOTION_SCHEDULE, sizeof schedule, &schedule);
    }
}

void send_channel_notice(int32_t code, int32_t channel)
{
    cgi_send_request(on_video_ipc_callback, code, sizeof channel, &channel);
}

void answer_channel_schedule(const char *query, channel_schedule_reader read)
{
    int channel = 0;
    if (web_parse_int(query, 0, VIDEO_CHANNELS - 1, &channel) != 0)
        return;
    auto schedule = std::make_unique<event_schedule>();
    if (read(VXDB_MAIN_DB, schedule.get(), channel) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_ptr answer(get_schedule_json_object_ex(schedule.get()));
    cgi_answer_json(answer.get());
}
