#include "link/web_res.h"

#include <cstring>

namespace {
bool same_name(const char (&slot)[8], const char *name)
{
    return strncmp(slot, name, sizeof slot) == 0 && strlen(name) < sizeof slot;
}
}  // namespace

web_right web_table_right(const web_table &table, const char *name)
{
    if (name == nullptr)
        return web_right::unset;
    bool held = false;
    for (int i = 0; i < table.count && !held; ++i)
        held = same_name(table.res[i].name, name);
    if (!held)
        return web_right::unset;
    for (int i = 0; i < table.right_count; ++i) {
        if (same_name(table.rights[i].name, name))
            return table.rights[i].right;
    }
    return table.default_right;
}
