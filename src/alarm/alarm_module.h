// The alarm module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table alarm_table;
extern const cgi_wait_table alarm_waits;
