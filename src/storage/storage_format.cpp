// Formatting a disk: "/6102" asks the main service and waits (up to 600 s), then logs the outcome.
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "vxrt/vx_oplog.h"

#include <atomic>
#include <cstdint>

namespace {
constexpr int FORMAT_PORT_MAX = 36;
constexpr int FORMAT_PROGRESS_MAX = 16;

// Set by the reply routine before it sets g_callback_done, so the handler sees it once its wait has
// ended (the routine may run on another thread when replies are streamed).
std::atomic<int> g_format_success{0};

// The texts of the format results; other results are answered with nothing.
const char *format_result_text(int32_t result)
{
    switch (result) {
    case 0: return "OK";
    case 1: return "USING";
    case -1: return "ERROR FORMAT";
    case -3: return "NAS LOW CAP";
    default: return nullptr;
    }
}

void send_format_log(int port)
{
    operation_log record;
    cgi_init_log_info(&record);
    record.main_type = 4;
    record.sub_type = 207;
    record.parameter_type = 900;
    record.chan_no = port;
    format_detail detail{};
    detail.port = port;
    detail.result = g_format_success ? 1 : -1;
    vxfs_log_pack_detail(&record, FORMAT_DETAIL_KIND, &detail, sizeof detail);
    cgi_send_log_record(on_storage_ipc_callback, &record);
}
}  // namespace

void on_format_disk(const char *data)
{
    // Formatting destroys the disk's contents: only a well-formed port number starts it.
    int32_t port = 0;
    if (web_parse_int(data, 0, FORMAT_PORT_MAX, &port) != 0)
        return;
    g_format_success = 0;
    cgi_exchange(on_storage_ipc_callback, 3434, sizeof port, &port, CGI_JSON);
    send_format_log(port);
}

void on_format_disk_cb(int count, const void *payload)
{
    int32_t result = 0;
    if (cgi_reply_result(count, payload, &result) != 0)
        return;
    if (result == 0)
        g_format_success = 1;
    if (const char *text = format_result_text(result))
        cgi_writeback_webserver(CGI_TEXT, text);
    g_callback_done = 1;
}

void on_get_format_progress(const char *data)
{
    int number = 0;
    if (web_parse_int(data, 0, FORMAT_PROGRESS_MAX, &number) == 0)
        cgi_writeback_webserver(CGI_TEXT, "OK");
}
