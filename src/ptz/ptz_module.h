// The ptz module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table ptz_table;
extern const cgi_wait_table ptz_waits;
