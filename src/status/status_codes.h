// Requests of the status pages to the main service.
#pragma once

#include "link/link_codes.h"

constexpr int32_t CHANNEL_SUPPORT = 3263;  // what each channel's camera supports
