// The status module's exchanges with the main service: the requests whose replies take longer than
// the default 40 s.
#include "status/status_codes.h"
#include "status/status_module.h"

namespace {
const cgi_wait_rule status_wait_rules[] = {
    {CHANNEL_SUPPORT, 3000},
};
}  // namespace

const cgi_wait_table status_waits = {CGI_ROWS(status_wait_rules)};
