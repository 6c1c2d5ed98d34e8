// The camera module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table camera_table;
