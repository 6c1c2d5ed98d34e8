// The camera module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table camera_table;
extern const cgi_wait_table camera_waits;
