#include "link/web_request.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"

#include <cstdint>

namespace {
constexpr size_t result_size = sizeof(int32_t);

const cgi_reply_route storage_replies[] = {
    {8433, sizeof(disk_status), on_get_storage_info_cb},
    {8434, result_size, on_format_disk_cb},
    {8420, result_size, on_create_raid_cb},
    {8421, result_size, on_remove_raid_cb},
    {8496, result_size, on_remove_raid_cb},
    {8423, result_size, on_create_space_cb},
    {8424, result_size, on_remove_space_cb},
    {8425, result_size, on_rebuild_raid_cb},
};
}  // namespace

void on_storage_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(storage_replies, header, payload);
}
