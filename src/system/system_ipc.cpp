#include "system/system_ipc.h"
#include "link/web_request.h"

#include <cstdint>

namespace {
constexpr size_t result_size = sizeof(int32_t);
}  // namespace

void on_system_ipc_callback(void * /*unused*/, const void *header, const void *payload)
{
    if (payload == nullptr)
        return;
    const int length = cgi_reply_length(header);
    const int results = cgi_reply_records(length, result_size);
    switch (cgi_reply_code(header)) {
    case 8504: on_user_login_from_mail_cb(results, payload); break;
    default: break;  // no reply of this module: the flag stays 0 and the handler answers the error form
    }
}
