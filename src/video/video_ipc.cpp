// The video module's exchanges with the main service: its reply dispatcher, joining the reply routes
// of the module's files, and the requests whose replies take longer than the default 40 s.
#include "video/video_codes.h"
#include "video/video_module.h"

namespace {
const cgi_reply_table *const video_replies[] = {
    &video_motion_map_replies,
    &video_camera_event_replies,
};

const cgi_wait_rule video_wait_rules[] = {
    {VCA_SETTINGS, 3000},
};
}  // namespace

const cgi_wait_table video_waits = {CGI_ROWS(video_wait_rules)};

void on_video_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(video_replies, header, payload);
}
