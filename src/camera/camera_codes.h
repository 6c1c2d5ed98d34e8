// Requests of the camera pages to the main service.
#pragma once

#include "link/link_codes.h"

constexpr int32_t CAMERA_SEARCH = 3200;          // int32 protocol
constexpr int32_t CAMERA_LIST = 3201;            // none; reply: the camera records
constexpr int32_t CAMERA_CONNECT_TEST = 3202;
constexpr int32_t CAMERA_STREAM_SET = 3203;
constexpr int32_t CAMERA_STREAM_GET = 3204;      // int32 channel
constexpr int32_t CAMERA_ADDRESS_CHANGE = 3205;
constexpr int32_t CAMERA_IMAGE_DISPLAY = 3223;   // int32 channel
constexpr int32_t CAMERA_CONNECT_TEST2 = 3227;
constexpr int32_t CAMERA_NETWORK_BATCH_RESULT = 3230;
constexpr int32_t CAMERA_EVENT_QUERY = 3360;
constexpr int32_t CAMERA_ONLINE_UPGRADE = 3379;
