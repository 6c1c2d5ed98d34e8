// The network module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table network_table;
