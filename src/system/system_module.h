// The system module's web resources.
#pragma once

#include "link/web_res.h"

extern const web_table system_table;
