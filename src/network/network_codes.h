// Requests of the network pages to the main service.
#pragma once

#include "link/link_codes.h"

constexpr int32_t TIME_SET = 1701;      // the manual time as text
constexpr int32_t MAIL_TEST = 3409;     // sends a test mail; reply: int32, 0 = sent
constexpr int32_t P2P_SET = 3700;       // the P2P record
constexpr int32_t P2P_STATUS = 3702;    // none; reply: the P2P status record
