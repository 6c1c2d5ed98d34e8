// Requests of the live, playback and export pages to the main service.
#pragma once

#include "link/link_codes.h"

constexpr int32_t PLAYBACK_TIME = 1153;  // int32 session id; reply: the time played
constexpr int32_t PLAYBACK_JUMP = 1171;  // the jump record
