// The stream module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table stream_table;
extern const cgi_wait_table stream_waits;
