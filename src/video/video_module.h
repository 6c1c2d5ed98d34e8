// The video module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table video_table;
