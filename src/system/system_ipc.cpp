// The system module's exchanges with the main service: its reply dispatcher, joining the reply
// routes of the module's files, and the requests whose replies take longer than the default 40 s.
#include "system/system_codes.h"
#include "system/system_module.h"

namespace {
const cgi_reply_table *const system_replies[] = {
    &system_login_replies,
    &system_log_search_replies,
    &system_log_export_replies,
};

const cgi_wait_rule system_wait_rules[] = {
    {CAMERA_UPGRADE_CHECK, 3000},
    {SYSTEM_UPGRADE, 6000},
    {ONLINE_DOWNLOAD, 6000},
    {DIAGNOSIS_EXPORT, 6000},
    {CAMERA_UPGRADE, 15000},
    {LOG_EXPORT, 15000},
    {LOG_SEARCH, 15000},
};
}  // namespace

const cgi_wait_table system_waits = {CGI_ROWS(system_wait_rules)};

void on_system_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(system_replies, header, payload);
}
