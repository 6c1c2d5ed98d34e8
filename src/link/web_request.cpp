#include "link/web_request.h"
#include "link/web_json.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

namespace {
// The one JSON value of a body, or null when it does not parse or anything but white space follows
// it ("12abc" and "1 6" are no integers, though json-c would read 12 and 1 from them).
json_object *parse_whole_value(const char *data)
{
    if (data == nullptr)
        return nullptr;
    std::unique_ptr<json_tokener, decltype(&json_tokener_free)> tokener(json_tokener_new(), json_tokener_free);
    if (!tokener)
        return nullptr;
    json_ptr value(json_tokener_parse_ex(tokener.get(), data, -1));
    if (!value || json_tokener_get_error(tokener.get()) != json_tokener_success)
        return nullptr;
    // Given -1, the tokener reads the terminating zero as input: a line comment after the value
    // ("5//") takes it in, and the parse end then lies past the text. json-c reads comments as white
    // space, so that text was whole ("5/* c */" is too).
    const size_t end = std::min(json_tokener_get_parse_end(tokener.get()), strlen(data));
    for (const char *rest = data + end; *rest != '\0'; ++rest) {
        if (!isspace(static_cast<unsigned char>(*rest)))
            return nullptr;
    }
    return value.release();
}
}  // namespace

int json_read_request(const char *data, const json_field *fields, size_t count, void *record)
{
    json_ptr request(get_request_tokener_json_object(data));
    return json_read_fields(request.get(), fields, count, record);
}

int json_read_int_request(const char *data, long long min, long long max, int *out)
{
    json_ptr request(parse_whole_value(data));
    switch (json_object_get_type(request.get())) {
    case json_type_int: {
        const int64_t value = json_object_get_int64(request.get());
        if (value < min || value > max || value < INT32_MIN || value > INT32_MAX)
            return -1;
        *out = static_cast<int>(value);
        return 0;
    }
    case json_type_string:
        return web_parse_int(json_object_get_string(request.get()), min, max, out);
    default:
        return -1;
    }
}

int cgi_exchange(cgi_ipc_callback dispatcher, int code, int length, const void *payload, int error_form)
{
    cgi_start_ipc(dispatcher, code, length, payload, CGI_IPC_WAIT);
    const int done = g_callback_done;
    if (done == 0)
        cgi_error_to_webserver(error_form);
    cgi_stop_ipc();
    return done;
}

void cgi_send_request(cgi_ipc_callback dispatcher, int code, int length, const void *payload)
{
    cgi_start_ipc(dispatcher, code, length, payload, CGI_IPC_SEND_ONLY);
    cgi_stop_ipc();
}

int cgi_reply_records(int length, size_t record_size)
{
    if (length <= 0 || record_size == 0)
        return 0;
    return static_cast<int>(static_cast<size_t>(length) / record_size);
}

namespace {
const cgi_reply_route *find_route(const cgi_reply_table *const *tables, size_t count, int32_t code)
{
    for (size_t t = 0; t < count; ++t) {
        for (int i = 0; i < tables[t]->count; ++i) {
            if (tables[t]->routes[i].code == code)
                return &tables[t]->routes[i];
        }
    }
    return nullptr;
}
}  // namespace

void cgi_dispatch_reply(const cgi_reply_table *const *tables, size_t count, const void *header, const void *payload)
{
    const cgi_reply_route *route = payload != nullptr ? find_route(tables, count, cgi_reply_code(header)) : nullptr;
    if (route == nullptr)
        return;
    const int records = cgi_reply_records(cgi_reply_length(header), route->record_size);
    int done = CGI_REPLY_UNUSABLE;
    if (records > 0 || route->shape == CGI_LIST)
        done = route->routine(records, payload);
    if (done == CGI_REPLY_MORE)
        return;
    if (done == CGI_REPLY_UNUSABLE)
        cgi_end_wait();
    else
        g_callback_done = done;
}

int cgi_reply_result(int count, const void *payload, int32_t *result)
{
    if (count < 1 || payload == nullptr || result == nullptr)
        return -1;
    memcpy(result, payload, sizeof *result);
    return 0;
}
