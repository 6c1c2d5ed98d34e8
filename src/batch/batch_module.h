// The batch module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table batch_table;
