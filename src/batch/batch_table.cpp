#include "batch/batch_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table batch_table = {nullptr, 0, &batch_waits, web_right::settings, nullptr, 0};
