// The response writers and the reply routines every module shares.
#include "link/web_ipc.h"
#include "link/web_json.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {
constexpr const char *text_header = "Content-type: text/plain\r\n\r\n";
constexpr const char *json_header = "Content-type: application/json\r\n\r\n";
constexpr int common_text_size = 256;

// Responses are written by the handler and by reply routines, which run on the client's delivery thread
// when replies are streamed.
std::mutex &output_lock()
{
    static std::mutex *lock = new std::mutex;
    return *lock;
}
}  // namespace

int cgi_writeback_webserver(int type, const char *text)
{
    if (text == nullptr)
        return -1;
    std::lock_guard<std::mutex> guard(output_lock());
    if (type == 0)
        fputs(text_header, stdout);
    else if (type == 1)
        fputs(json_header, stdout);
    fputs(text, stdout);
    fflush(stdout);
    return 0;
}

int cgi_error_to_webserver(int type)
{
    if (type == 0)
        cgi_writeback_webserver(0, "CGI ERROR");
    else if (type == 1)
        cgi_writeback_webserver(1, "{status:\"CGI ERROR\"}");
    return 0;
}

void on_cgi_common_text_cb(int /*count*/, int status, const char *data)
{
    char text[common_text_size];
    int length = snprintf(text, sizeof text, "%s status:[%d]", status < 0 ? "CGI ERROR" : "CGI OK", status);
    if (data != nullptr && length >= 0 && length < static_cast<int>(sizeof text))
        snprintf(text + length, sizeof text - static_cast<size_t>(length), ", data:[%s]", data);
    cgi_writeback_webserver(0, text);
    g_callback_done = 1;
}

int on_cgi_common_json_cb(int count, const void *payload)
{
    if (count <= 0 || payload == nullptr)
        return 0;
    int32_t status = 0;
    memcpy(&status, payload, sizeof status);
    json_ptr answer(json_object_new_object());
    if (!answer)
        return 0;
    json_object_object_add(answer.get(), "status", json_object_new_int(status));
    cgi_writeback_webserver(1, json_object_to_json_string(answer.get()));
    return 1;
}
