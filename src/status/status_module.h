// The status module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table status_table;
extern const cgi_wait_table status_waits;
