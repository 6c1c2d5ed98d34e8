// The video module: its web resources and their handlers, its reply dispatcher (which every request
// of the module names), the reply routes of each source file, and its long waits.
#pragma once

#include "link/web_request.h"
#include "link/web_res.h"

extern const web_table video_table;
extern const cgi_wait_table video_waits;

// Routes a reply of the main service to the routine of its reply code (video_ipc.cpp).
void on_video_ipc_callback(void *unused, const void *header, const void *payload);
extern const cgi_reply_table video_motion_map_replies;
extern const cgi_reply_table video_camera_event_replies;

// The early motion pages (motion_basic.cpp).
void on_get_motion_schedule(const char *data);      // "/6011"
void on_set_movedetect_info(const char *data);      // "/6012"
void on_set_motion_schedule(const char *data);      // "/6013"
void on_set_movedetect_schedule(const char *data);  // "/6113"
void on_set_movedetect_basic(const char *data);     // "/6114"

// The early video-loss pages (video_loss_basic.cpp).
void on_get_videolost_info(const char *data);      // "/6014"
void on_get_videolost_schedule(const char *data);  // "/6015"
void on_set_videolost_info(const char *data);      // "/6016"
void on_set_videolost_schedule(const char *data);  // "/6017"

// The live motion map (motion_map.cpp).
void on_get_motion_map(const char *data);  // "/6098"

// Camera alarm inputs and volume detection, kept by the camera (camera_events.cpp).
void on_get_cameraio(const char *data);       // "/6090"
void on_set_cameraio(const char *data);       // "/6091"
void on_get_volumedetect(const char *data);   // "/6092"
void on_set_volumedetect(const char *data);   // "/6093"

// System exceptions and their actions (exceptions.cpp).
void on_get_exception(const char *data);  // "/6999"
void on_set_exception(const char *data);  // "/6998"

// The whole-event pages of motion and video loss (event_dialog.cpp).
void on_get_movedetect_info(const char *data);     // "/6010"
void on_set_motion_dialog_info(const char *data);  // "/6112"
void on_get_videoloss_info(const char *data);      // "/6094"
void on_set_videoloss_info(const char *data);      // "/6095"

struct json_object;
// Saves the motion "dialog" of a channel (event_dialog.cpp): the count of members taken plus the PTZ
// result, 0 when there is nothing to save, -1 when a store fails.
int save_motion_dialog_data(int chn, json_object *dialog);
