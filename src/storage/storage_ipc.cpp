// The storage module's exchanges with the main service: its reply dispatcher, joining the reply
// routes of the module's files, the requests whose replies take longer than the default 40 s, and the
// replies that do not follow the rule (request + 5000).
#include "storage/storage_codes.h"
#include "storage/storage_module.h"

namespace {
const cgi_reply_table *const storage_replies[] = {
    &storage_disk_replies,
    &storage_format_replies,
    &storage_raid_replies,
};

const cgi_wait_rule storage_wait_rules[] = {
    {RAID_CREATE, 6000},
    {NAS_SEARCH, 6000},
    {DISK_FORMAT, 15000},
    {ESATA_FORMAT, 3000},
    {3401, 3000},  // requests of the storage family that no page sends yet
    {3402, 6000},
};

const cgi_reply_rule storage_reply_rules[] = {
    {RAID_REMOVE, RAID_REMOVED},
};
}  // namespace

const cgi_wait_table storage_waits = {CGI_ROWS(storage_wait_rules), CGI_ROWS(storage_reply_rules)};

void on_storage_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(storage_replies, header, payload);
}
