// The log export ("/1003"): the main service writes the entries of the query to a result file, and
// the reply routine turns it into a CSV download. "/1022" tells the page whether an export is still
// running, by the marker the export keeps while it waits.
#include "link/web_answer.h"
#include "link/web_files.h"
#include "link/web_ipc.h"
#include "link/web_request.h"
#include "system/log_csv.h"
#include "system/log_query.h"
#include "system/log_records.h"
#include "system/log_text.h"
#include "system/system_codes.h"
#include "system/system_module.h"
#include "vxrt/vx_mac_conf.h"
#include "vxrt/vx_path.h"
#include "vxrt/vx_trans.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace {
constexpr const char *MARKER_DIRECTORY = "/tmp/log";
constexpr const char *MARKER = "/tmp/log/log_web";

// What the export's reply routine needs of its request.
char export_language[LOG_LANGUAGE_SIZE];
int32_t export_main_type;

// The marker of a running export: there from before the request goes out until its answer is written.
class export_marker {
public:
    export_marker()
    {
        mkdir(vx_path(MARKER_DIRECTORY).c_str(), 0755);  // /tmp is emptied at every start
        fd_ = open(vx_path(MARKER).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    ~export_marker()
    {
        if (fd_ >= 0)
            close(fd_);
        unlink(vx_path(MARKER).c_str());
    }
    export_marker(const export_marker &) = delete;
    export_marker &operator=(const export_marker &) = delete;

private:
    int fd_ = -1;
};

// The name the download is saved under names the main type; any other value exports everything.
const char *export_name(int32_t main_type)
{
    switch (main_type) {
    case 2: return "Event";
    case 4: return "Operation";
    case 8: return "Information";
    case 32: return "Exception";
    case 64: return "Debug";
    default: return "All";
    }
}

// The device's factory hardware address as bare hexadecimal digits, for the file name ("" when the
// factory file cannot be read).
std::string device_mac_digits()
{
    char mac[32] = {};
    read_mac_conf(mac, sizeof mac);
    return mac;
}

// A result file the program may read and remove: an absolute device path that never climbs out of
// its directories (under VX_ROOT it must stay below the root).
bool result_path_ok(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return false;
    for (size_t at = path.find(".."); at != std::string::npos; at = path.find("..", at + 1)) {
        const bool starts = path[at - 1] == '/';
        const bool ends = at + 2 == path.size() || path[at + 2] == '/';
        if (starts && ends)
            return false;
    }
    return true;
}

std::string download_header()
{
    return "Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= " +
           std::string(export_name(export_main_type)) + "_log_" + device_mac_digits() + "_" +
           log_local_time(time(nullptr), 0) + ".csv\r\n\r\n";
}

// 8494: the download, made from the result file the reply names; the file is removed afterwards. A
// file that is missing or empty, or a path that is not a plain absolute one, gives the header line alone.
int on_log_web_export_info_cb(int /*count*/, const void *payload)
{
    const auto reply = cgi_reply_record<log_export_reply>(payload, 0);
    const std::string path = log_field_text(reply.path, sizeof reply.path);
    std::string csv = download_header() + LOG_CSV_HEADER;
    if (result_path_ok(path)) {
        const std::string file = vx_path(path.c_str());
        std::unique_ptr<FILE, decltype(&fclose)> result(fopen(file.c_str(), "rbe"), fclose);
        trans_init(export_language);
        log_csv_rows(result.get(), &csv);
        trans_deinit();
        unlink(file.c_str());
    }
    return cgi_writeback_webserver(-1, csv.c_str()) == 0 ? CGI_REPLY_ANSWERED : CGI_REPLY_UNUSABLE;
}

const cgi_reply_route export_routes[] = {
    {reply_of(LOG_EXPORT), sizeof(log_export_reply), on_log_web_export_info_cb},
};
}  // namespace

const cgi_reply_table system_log_export_replies = {CGI_ROWS(export_routes)};

// "/1003": the CSV download of the entries that match the query; nothing to a query that is not one.
void on_download_logfile(const char *data)
{
    log_query query;
    if (log_read_query(data, LOG_QUERY_EXPORT, &query, export_language) != 0)
        return;
    export_main_type = query.main_type;
    export_marker running;
    cgi_exchange(on_system_ipc_callback, LOG_EXPORT, sizeof query, &query, CGI_JSON);
}

// "/1022": "OK" while an export is running, else "NO".
void on_check_download_log(const char * /*data*/)
{
    cgi_answer_text(IsFileExisted(MARKER) == 0 ? "OK" : "NO");
}
