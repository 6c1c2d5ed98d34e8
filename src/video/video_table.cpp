#include "video/video_module.h"

namespace {
// Path names in the module's fixed order.
const web_res video_res[] = {
    {"/6010", on_get_movedetect_info},     {"/6011", on_get_motion_schedule},
    {"/6012", on_set_movedetect_info},     {"/6013", on_set_motion_schedule},
    {"/6014", on_get_videolost_info},      {"/6015", on_get_videolost_schedule},
    {"/6016", on_set_videolost_info},      {"/6017", on_set_videolost_schedule},
    {"/6098", on_get_motion_map},          {"/6999", on_get_exception},
    {"/6998", on_set_exception},           {"/6090", on_get_cameraio},
    {"/6091", on_set_cameraio},            {"/6092", on_get_volumedetect},
    {"/6093", on_set_volumedetect},        {"/6112", on_set_motion_dialog_info},
    {"/6113", on_set_movedetect_schedule}, {"/6114", on_set_movedetect_basic},
    {"/6094", on_get_videoloss_info},      {"/6095", on_set_videoloss_info},
};

// Every signed-in viewer may read the event settings and the live map; changing them needs the
// settings right.
const web_right_row video_rights[] = {
    WEB_RIGHT("/6010", session), WEB_RIGHT("/6011", session), WEB_RIGHT("/6014", session),
    WEB_RIGHT("/6015", session), WEB_RIGHT("/6090", session), WEB_RIGHT("/6092", session),
    WEB_RIGHT("/6094", session), WEB_RIGHT("/6098", session), WEB_RIGHT("/6999", session),
};
}  // namespace

const web_table video_table = {CGI_ROWS(video_res), &video_waits, web_right::settings, CGI_ROWS(video_rights)};
