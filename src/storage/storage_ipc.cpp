#include "link/web_request.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"

#include <cstdint>

namespace {
constexpr size_t result_size = sizeof(int32_t);
}  // namespace

void on_storage_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    if (payload == nullptr)
        return;
    const int length = cgi_reply_length(header);
    const int results = cgi_reply_records(length, result_size);
    switch (cgi_reply_code(header)) {
    case 8433: on_get_storage_info_cb(cgi_reply_records(length, sizeof(disk_status)), payload); break;
    case 8434: on_format_disk_cb(results, payload); break;
    case 8420: on_create_raid_cb(results, payload); break;
    case 8421: on_remove_raid_cb(results, payload); break;
    case 8496: on_remove_raid_cb(results, payload); break;
    case 8423: on_create_space_cb(results, payload); break;
    case 8424: on_remove_space_cb(results, payload); break;
    case 8425: on_rebuild_raid_cb(results, payload); break;
    default: break;
    }
}
