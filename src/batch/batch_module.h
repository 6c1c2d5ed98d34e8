// The batch module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table batch_table;
extern const cgi_wait_table batch_waits;
