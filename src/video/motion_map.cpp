// The live motion map of a channel ("/6098"), read from the main service.
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "video/video_codes.h"
#include "video/video_module.h"
#include "video/video_records.h"

#include <cstdint>

namespace {
struct motion_map_input {
    int32_t id;
};

const json_field motion_map_keys[] = {
    JSON_INT("id", motion_map_input, id, JF_REQUIRED, 0, INT32_MAX),
};

// After "map", which may fill its field without a terminator.
const json_field motion_map_answer[] = {
    JSON_OUT_INT("sensitivity", motion_map_reply, sensitivity),
    JSON_OUT_INT("result", motion_map_reply, result),
    JSON_OUT_INT("enable", motion_map_reply, enable),
    JSON_OUT_INT("modelType", motion_map_reply, model_type),
    JSON_OUT_INT("fishdisplay", motion_map_reply, fishdisplay),
    JSON_OUT_INT("fishtransfer", motion_map_reply, fishtransfer),
    JSON_OUT_INT("fishinstall", motion_map_reply, fishinstall),
    JSON_OUT_INT("enableAI", motion_map_reply, enable_ai),
};

int on_get_motion_map_cb(int /*count*/, const void *payload)
{
    const motion_map_reply reply = cgi_reply_record<motion_map_reply>(payload, 0);
    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "map", json_text_field(reply.map, sizeof reply.map));
    json_add_fields(answer.get(), motion_map_answer, &reply);
    return cgi_answer_json(answer.get());
}

const cgi_reply_route motion_map_routes[] = {
    {reply_of(MOTION_MAP), sizeof(motion_map_reply), on_get_motion_map_cb},
};
}  // namespace

const cgi_reply_table video_motion_map_replies = {CGI_ROWS(motion_map_routes)};

void on_get_motion_map(const char *data)
{
    motion_map_input input{};
    if (json_read_request(data, motion_map_keys, &input) != 0)
        return;
    cgi_exchange(on_video_ipc_callback, MOTION_MAP, sizeof input.id, &input.id, CGI_TEXT);
}
