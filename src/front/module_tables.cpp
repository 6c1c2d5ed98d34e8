// Registration of the module resource tables, of their long waits and of their other reply codes.
//
// The modules' tables are registered in one place, in the fixed module order, so that each module
// occupies its own consecutive range of slots whatever order the linker gives the translation units.
// Referring to every table from here also keeps the linker from dropping a module. The same order
// answers which right a page needs.
#include "alarm/alarm_module.h"
#include "batch/batch_module.h"
#include "camera/camera_module.h"
#include "front/dispatchreq.h"
#include "link/web_ipc.h"
#include "network/network_module.h"
#include "ptz/ptz_module.h"
#include "record/record_module.h"
#include "status/status_module.h"
#include "storage/storage_module.h"
#include "stream/stream_module.h"
#include "system/system_module.h"
#include "video/video_module.h"

#include <iterator>

namespace {
const web_table *const module_order[] = {
    &storage_table, &status_table, &video_table,  &camera_table, &record_table, &network_table,
    &stream_table,  &ptz_table,    &system_table, &batch_table,  &alarm_table,
};

struct module_registration {
    module_registration()
    {
        for (const web_table *table : module_order) {
            if (table->count > 0)
                WebResRegister(table->res, table->count);
            if (table->waits != nullptr && (table->waits->count > 0 || table->waits->reply_count > 0))
                cgi_register_waits(table->waits);
        }
    }
    ~module_registration()
    {
        for (auto it = std::rbegin(module_order); it != std::rend(module_order); ++it) {
            if ((*it)->count > 0)
                WebResUnregister((*it)->res, (*it)->count);
        }
    }
};

// Runs before the default-priority constructors of every other unit.
__attribute__((init_priority(200))) module_registration g_module_registration;
}  // namespace

web_right WebResRight(const char *name)
{
    for (const web_table *table : module_order) {
        web_right right = web_table_right(*table, name);
        if (right != web_right::unset)
            return right;
    }
    return web_right::unset;
}
