// Requests of the video and event pages to the main service.
#pragma once

#include "link/link_codes.h"

constexpr int32_t VCA_SETTINGS = 3259;  // int32 channel; reply: the analysis settings of its camera
