// The video module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table video_table;
extern const cgi_wait_table video_waits;
