// The batch module's exchanges with the main service: none of its requests waits longer than the
// default 40 s.
#include "batch/batch_module.h"

const cgi_wait_table batch_waits = {nullptr, 0};
