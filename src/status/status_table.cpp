#include "status/status_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table status_table = {nullptr, 0, &status_waits, web_right::session, nullptr, 0};
