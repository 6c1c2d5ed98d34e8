#include "system/system_ipc.h"
#include "link/web_request.h"

#include <cstdint>

namespace {
const cgi_reply_route system_replies[] = {
    {8504, sizeof(int32_t), on_user_login_from_mail_cb},
};
}  // namespace

void on_system_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(system_replies, header, payload);
}
