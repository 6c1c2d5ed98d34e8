// The record module's web resources.
#pragma once

#include "front/dispatchreq.h"

extern const web_table record_table;
