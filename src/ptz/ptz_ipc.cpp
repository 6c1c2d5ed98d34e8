// The ptz module's exchanges with the main service: none of its requests waits longer than the
// default 40 s.
#include "ptz/ptz_module.h"

const cgi_wait_table ptz_waits = {nullptr, 0};
