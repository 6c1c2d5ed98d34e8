// The alarm module's exchanges with the main service: none of its requests waits longer than the
// default 40 s.
#include "alarm/alarm_module.h"

const cgi_wait_table alarm_waits = {nullptr, 0};
