#include "record/record_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table record_table = {nullptr, 0, &record_waits, web_right::settings, nullptr, 0};
