// Formatting a disk: "/6102" asks the main service and waits (up to 600 s), then logs the outcome.
#include "link/web_answer.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "storage/storage_codes.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "vxrt/vx_oplog.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {
constexpr int FORMAT_PORT_MAX = 36;
constexpr int FORMAT_PROGRESS_MAX = 16;
constexpr int FORMAT_REFUSED = 3;  // answered: the main service did not format the disk

// The texts of the format results. Any other result says nothing of the disk: the page answers its
// error form, as for no reply, rather than an empty answer the browser would take for success.
const cgi_result_text format_texts[] = {{0, "OK"}, {1, "USING"}, {-1, "ERROR FORMAT"}, {-3, "NAS LOW CAP"}};

int on_format_disk_cb(int count, const void *payload)
{
    int32_t result = 0;
    if (cgi_reply_result(count, payload, &result) != 0 ||
        std::none_of(std::begin(format_texts), std::end(format_texts),
                     [result](const cgi_result_text &row) { return row.result == result; }))
        return CGI_REPLY_UNUSABLE;
    cgi_answer_result(count, payload, format_texts, std::size(format_texts), CGI_TEXT);
    return result == 0 ? CGI_REPLY_ANSWERED : FORMAT_REFUSED;
}

const cgi_reply_route format_routes[] = {
    {reply_of(DISK_FORMAT), CGI_RESULT_SIZE, on_format_disk_cb},
};

void send_format_log(int port, bool formatted)
{
    operation_log record;
    cgi_init_log_info(&record);
    record.main_type = LOG_DISK_FORMAT.main_type;
    record.sub_type = LOG_DISK_FORMAT.sub_type;
    record.parameter_type = LOG_DISK_FORMAT.parameter_type;
    record.chan_no = port;
    format_detail detail{};
    detail.port = port;
    detail.result = formatted ? 1 : -1;
    vxfs_log_pack_detail(&record, FORMAT_DETAIL_KIND, &detail, sizeof detail);
    cgi_send_log_record(on_storage_ipc_callback, &record);
}
}  // namespace

const cgi_reply_table storage_format_replies = {CGI_ROWS(format_routes)};

void on_format_disk(const char *data)
{
    // Formatting destroys the disk's contents: only a well-formed port number starts it.
    int32_t port = 0;
    if (web_parse_int(data, 0, FORMAT_PORT_MAX, &port) != 0)
        return;
    const int done = cgi_exchange(on_storage_ipc_callback, DISK_FORMAT, sizeof port, &port, CGI_JSON);
    send_format_log(port, done == CGI_REPLY_ANSWERED);
}

void on_get_format_progress(const char *data)
{
    int number = 0;
    if (web_parse_int(data, 0, FORMAT_PROGRESS_MAX, &number) == 0)
        cgi_answer_text("OK");
}
