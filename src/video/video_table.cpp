#include "video/video_module.h"

namespace {
// Path names in the module's fixed order.
const web_res video_res[] = {
    {"/6012", on_set_movedetect_info},
    {"/6014", on_get_videolost_info},
    {"/6016", on_set_videolost_info},
    {"/6098", on_get_motion_map},
    {"/6090", on_get_cameraio},
    {"/6091", on_set_cameraio},
    {"/6092", on_get_volumedetect},
    {"/6093", on_set_volumedetect},
    {"/6114", on_set_movedetect_basic},
};

// Every signed-in viewer may read the event settings and the live map; changing them is the
// operator's.
const web_right_row video_rights[] = {
    WEB_RIGHT("/6014", session), WEB_RIGHT("/6098", session),
    WEB_RIGHT("/6090", session), WEB_RIGHT("/6092", session),
};
}  // namespace

const web_table video_table = {CGI_ROWS(video_res), &video_waits, web_right::settings, CGI_ROWS(video_rights)};
