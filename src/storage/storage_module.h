// The storage module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table storage_table;
