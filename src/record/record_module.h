// The record module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table record_table;
extern const cgi_wait_table record_waits;
