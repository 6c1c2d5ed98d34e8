// The ptz module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table ptz_table;
