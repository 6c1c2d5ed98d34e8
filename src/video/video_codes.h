// Requests of the video and event pages to the main service, and what their operation-log records say.
#pragma once

#include "link/link_codes.h"

constexpr int32_t VIDEO_LOSS_CHANGED = 1402;       // int32 channel, send only
constexpr int32_t MOTION_CHANGED = 1403;           // int32 channel, send only
constexpr int32_t MOTION_COPIED = 1410;            // uint64 channel mask, send only
constexpr int32_t VIDEO_LOSS_MASK_CHANGED = 1414;  // uint64 channel mask, send only
constexpr int32_t EXCEPTION_ACTIONS_CHANGED = 2104;  // no payload, send only
constexpr int32_t EXCEPTION_HTTP_CHANGED = 3394;     // no payload, send only
constexpr int32_t MOTION_MAP = 3206;               // int32 channel; reply: motion_map_reply
constexpr int32_t MOTION_AREA = 3207;              // motion_area_request, send only
constexpr int32_t SMART_MOTION_SCHEDULE = 3209;    // all_day_schedule of one channel, send only
constexpr int32_t SMART_MOTION = 3212;             // smart_motion_request, send only
constexpr int32_t CAMERA_IO = 3213;                // int32 channel; reply: cameraio_reply
constexpr int32_t CAMERA_IO_SET = 3214;            // cameraio_request, send only
constexpr int32_t VOLUME_DETECT = 3215;            // int32 channel; reply: volumedetect_reply
constexpr int32_t VOLUME_DETECT_SET = 3216;        // volumedetect_request, send only
constexpr int32_t MOTION_PAGE = 3251;              // motion_page_request, send only
constexpr int32_t SMART_MOTION_SCHEDULE_COPY = 3252;  // all_day_schedule of the copy targets, send only
constexpr int32_t VCA_SETTINGS = 3259;  // int32 channel; reply: the analysis settings of its camera

constexpr oplog_kind LOG_VIDEO_LOSS = {4, 204, 908};
constexpr oplog_kind LOG_MOTION = {4, 204, 909};
constexpr oplog_kind LOG_CAMERA_IO = {4, 204, 923};
constexpr oplog_kind LOG_VOLUME_DETECT = {4, 204, 924};
