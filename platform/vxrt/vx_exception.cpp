#include "vxrt/vx_exception.h"

#include <cstring>

namespace {
// The order is the main service's kind numbers; an empty name is a kind the pages do not show.
constexpr const char *exception_names[VX_EXCEPTION_KINDS] = {
    "diskFull",     "diskError", "illegalAccess", "ipConflict", "netDisconnect", "recordFailed", "noDisk",
    "diskOffline",  "raidDegraded", "raidFailed", "fanFailure", "overheat",    "",             "",
};
}  // namespace

int get_exception_name(int i, char *buffer, int size)
{
    if (buffer == nullptr || size < 1)
        return -1;
    buffer[0] = '\0';
    if (i < 0 || i >= VX_EXCEPTION_KINDS)
        return -1;
    const size_t length = strnlen(exception_names[i], static_cast<size_t>(size) - 1);
    memcpy(buffer, exception_names[i], length);
    buffer[length] = '\0';
    return 0;
}
