#include "network/network_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table network_table = {nullptr, 0, &network_waits, web_right::settings, nullptr, 0};
