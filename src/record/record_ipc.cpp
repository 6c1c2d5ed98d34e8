// The record module's exchanges with the main service: none of its requests waits longer than the
// default 40 s.
#include "record/record_module.h"

const cgi_wait_table record_waits = {nullptr, 0};
