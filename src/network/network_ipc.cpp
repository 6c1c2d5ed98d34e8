// The network module's exchanges with the main service: the requests whose replies take longer than
// the default 40 s.
#include "network/network_codes.h"
#include "network/network_module.h"

namespace {
const cgi_wait_rule network_wait_rules[] = {
    {TIME_SET, 6000},
    {MAIL_TEST, 6000},
    {P2P_SET, 1500},
    {P2P_STATUS, 1500},
};
}  // namespace

const cgi_wait_table network_waits = {CGI_ROWS(network_wait_rules)};
