// The stream module's exchanges with the main service: the requests whose replies take longer than
// the default 40 s.
#include "stream/stream_codes.h"
#include "stream/stream_module.h"

namespace {
const cgi_wait_rule stream_wait_rules[] = {
    {PLAYBACK_TIME, 3000},
    {PLAYBACK_JUMP, 3000},
    {3102, 3000},  // a request of this family no page sends yet
    {3104, 3000},  // a request of this family no page sends yet
};
}  // namespace

const cgi_wait_table stream_waits = {CGI_ROWS(stream_wait_rules)};
