// The network module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table network_table;
extern const cgi_wait_table network_waits;
