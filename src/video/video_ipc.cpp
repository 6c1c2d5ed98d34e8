// The video module's exchanges with the main service: the requests whose replies take longer than
// the default 40 s.
#include "video/video_codes.h"
#include "video/video_module.h"

namespace {
const cgi_wait_rule video_wait_rules[] = {
    {VCA_SETTINGS, 3000},
};
}  // namespace

const cgi_wait_table video_waits = {CGI_ROWS(video_wait_rules)};
