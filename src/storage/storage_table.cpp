#include "storage/storage_module.h"

namespace {
// Path names in the module's fixed order.
const web_res storage_res[] = {
    {"/6100", on_get_disk_info},  {"/6101", on_set_disk_info},  {"/6102", on_format_disk},
    {"/6103", on_get_format_progress}, {"/6104", on_create_raid}, {"/6105", on_remove_raid},
    {"/6106", on_set_hot_space},  {"/6107", on_rebuild_raid},   {"/6108", on_get_raid_mode},
    {"/6109", on_set_raid_mode},
};

// Disk settings are the operator's; what destroys recordings (a format, a RAID built, removed,
// rebuilt, given a spare, or its mode changed) stays with the administrator.
const web_right_row storage_rights[] = {
    WEB_RIGHT("/6102", admin), WEB_RIGHT("/6104", admin), WEB_RIGHT("/6105", admin),
    WEB_RIGHT("/6106", admin), WEB_RIGHT("/6107", admin), WEB_RIGHT("/6109", admin),
};
}  // namespace

const web_table storage_table = {CGI_ROWS(storage_res), &storage_waits, web_right::settings,
                                 CGI_ROWS(storage_rights)};
