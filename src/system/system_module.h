// The system module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table system_table;
