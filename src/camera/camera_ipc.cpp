// The camera module's exchanges with the main service: the requests whose replies take longer than
// the default 40 s.
#include "camera/camera_codes.h"
#include "camera/camera_module.h"

namespace {
const cgi_wait_rule camera_wait_rules[] = {
    {CAMERA_IMAGE_DISPLAY, 3000},
    {CAMERA_EVENT_QUERY, 3000},
    {CAMERA_SEARCH, 6000},
    {CAMERA_LIST, 6000},
    {CAMERA_CONNECT_TEST, 6000},
    {CAMERA_STREAM_SET, 6000},
    {CAMERA_STREAM_GET, 6000},
    {CAMERA_ADDRESS_CHANGE, 6000},
    {CAMERA_CONNECT_TEST2, 6000},
    {CAMERA_NETWORK_BATCH_RESULT, 15000},
    {CAMERA_ONLINE_UPGRADE, 30000},
};
}  // namespace

const cgi_wait_table camera_waits = {CGI_ROWS(camera_wait_rules)};
