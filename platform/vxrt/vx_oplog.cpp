#include "vxrt/vx_oplog.h"

#include <cstring>

int vxfs_log_pack_detail(operation_log *record, int kind, const void *block, int length)
{
    if (record == nullptr || length < 0 || (block == nullptr && length > 0))
        return -1;
    constexpr int header = 2 * sizeof(int32_t);
    constexpr int room = sizeof record->detail - header;
    int32_t stored = length < room ? length : room;
    int32_t kind32 = kind;
    memset(record->detail, 0, sizeof record->detail);
    memcpy(record->detail, &kind32, sizeof kind32);
    memcpy(record->detail + sizeof kind32, &stored, sizeof stored);
    if (stored > 0)
        memcpy(record->detail + header, block, static_cast<size_t>(stored));
    record->size = header + stored;
    return 0;
}
