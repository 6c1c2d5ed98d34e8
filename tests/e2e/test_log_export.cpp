// The log export through the real program: the query it sends, the CSV download it makes of the
// main service's result file, the marker "/1022" reads while it runs, and what it refuses.
#include "e2e/log_pages.h"
#include "support/device_root.h"
#include "vxrt/vx_mac_conf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace log_pages;

namespace {
const std::string CSV_HEADER = "Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n";
const char *const RESULT = "/tmp/log_result.dat";
const char *const MARKER = "/tmp/log/log_web";

std::string utc_stamp()
{
    const time_t now = time(nullptr);
    tm t{};
    gmtime_r(&now, &t);
    char text[32];
    strftime(text, sizeof text, "%Y%m%d%H%M%S", &t);
    return text;
}

// The factory address every export's file name carries, written in the pairs form so that the
// name shows the bare digits.
const char *const FACTORY_MAC = "00:11:22:aa:bb:cc";
const char *const MAC_DIGITS = "001122AABBCC";

// The download as the page gets it: the file name with the main type's name, the device's address
// and the time of the export, then the header line and `rows`.
void expect_download(const std::string &out, const std::string &before, const std::string &after, const char *name,
                     const std::string &rows)
{
    const std::string head = "Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= " +
                             std::string(name) + "_log_" + MAC_DIGITS + "_";
    ASSERT_EQ(out.compare(0, head.size(), head), 0) << out.substr(0, 200);
    const std::string stamp = out.substr(head.size(), 14);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(out.substr(head.size() + 14), ".csv\r\n\r\n" + CSV_HEADER + rows);
}

struct result_item {
    operation_log entry;
    std::string description;
};

std::string result_file(int32_t count, const std::vector<result_item> &items)
{
    std::string bytes = fms_int(count);
    auto record = std::make_unique<log_result_entry>();
    for (const result_item &item : items) {
        *record = log_result_entry{};
        record->entry = item.entry;
        memcpy(record->description, item.description.data(), std::min(item.description.size(), LOG_DESCRIPTION_SIZE));
        bytes += fms_record(*record);
    }
    return bytes;
}

struct export_case {
    std::string body;
    std::string query;      // what the main service must read
    const char *name;       // the download's main type name
    std::string path{};     // the reply's result file
    std::string file{};     // written there first, unless empty
    std::string rows{};     // the CSV after the header line
    bool kept = false;      // the path is not one to read or remove
};

// Runs the export against a fake that answers with `path`; the result file and the marker must be
// gone afterwards. Returns the download.
std::string run_export(const export_case &c)
{
    device_root dev;
    fake_main_service fms(dev.root);
    write_file(dev.file(VX_MAC_CONF_FILE), FACTORY_MAC);
    if (!c.file.empty())
        write_file(dev.file(c.path), c.file);
    fms.script(LOG_EXPORT, fms_script().reply(reply_of(LOG_EXPORT), export_reply(c.path)));
    const std::string before = utc_stamp();
    cgi_result r = run_page(dev.root, log_post("/1003", c.body));
    const std::string after = utc_stamp();
    expect_download(r.out, before, after, c.name, c.rows);
    EXPECT_TRUE(fms.wait_idle());
    const std::vector<fms_request> sent = fms.requests();
    EXPECT_EQ(sent.size(), 1u);
    if (!sent.empty())
        expect_sent(sent[0], asks(LOG_EXPORT, c.query));
    if (!c.path.empty()) {
        EXPECT_EQ(file_exists(dev.file(c.path)), c.kept) << "the result file";
    }
    EXPECT_FALSE(file_exists(dev.file(MARKER))) << "the marker is left behind";
    return r.out;
}

const result_item login = {entry(4, 201, DEC_7_MORNING, 900, 0, "admin", "::ffff:10.0.0.5"), "Remote login, user admin"};
const std::string login_row = "1,2026-12-07 10:15:30,Operation,Remote login,General,admin,10.0.0.5,0,\"Remote login, user admin\",\r\n";
const result_item bare = {entry(8, 500, DEC_1, 0, 2, "", ""), ""};
const std::string bare_row = "2,2026-12-01 00:00:00,Information,System power on,N/A,,,2,\"N/A\",\r\n";
}  // namespace

TEST(LogExport, SendsTheQueryWithTheOperationSubTypesExpanded)
{
    const std::string third = std::to_string(10 + (1 << 29) + 1);
    const export_case cases[] = {
        {json_of(export_body), query_bytes(4, {101}, 1, 5, 1), "Operation"},
        {json_of(export_body, {{"subTypeArr", "[10,3]"}}), query_bytes(4, {10, 3}, 1, 5, 1), "Operation"},
        // A value below 10 names nothing; a fourth is not expanded.
        {json_of(export_body, {{"subTypeArr", "[13,5," + third + ",12]"}}), query_bytes(4, {101, 102, 200, 229}, 1, 5, 1),
         "Operation"},
        {json_of(export_body, {{"subTypeArr", "[12]"}}), query_bytes(4, {102}, 1, 5, 1), "Operation"},
        {json_of(export_body, {{"mainType", "2"}, {"subTypeArr", "[11,12]"}, {"ch", "18446744073709551615"}}),
         query_bytes(2, {11, 12}, 1, ~uint64_t{0}, 1), "Event"},
        {json_of(export_body, {{"mainType", "3"}, {"subTypeArr", "[13]"}}, {"ch", "na"}), query_bytes(3, {13}, 1, 0, 0),
         "All"},
        {json_of(export_body, {{"mainType", "64"}, {"subTypeArr", "[10]"}, {"ch", "6"}}), query_bytes(64, {10}, 1, 6, 1),
         "Debug"},
    };
    for (const export_case &c : cases) {
        SCOPED_TRACE(c.body);
        run_export(c);
    }
}

TEST(LogExport, WritesOneRowPerEntryOfTheResultFile)
{
    const std::string query = query_bytes(4, {101}, 1, 5, 1);
    const std::string body = json_of(export_body);
    const std::string long_path = "/tmp/" + std::string(59, 'r');  // fills the field without an end
    const result_item long_description = {entry(4, 204, DEC_1, 919, 1, "admin", "10.0.0.1"), std::string(4096, 'd')};
    const export_case cases[] = {
        {body, query, "Operation", RESULT, result_file(2, {login, bare}), login_row + bare_row},
        // A count beyond the file stops at its end; a negative one reads nothing.
        {body, query, "Operation", RESULT, result_file(5, {login, bare}), login_row + bare_row},
        {body, query, "Operation", RESULT, result_file(-1, {login}), ""},
        {body, query, "Operation", RESULT, result_file(1, {}), ""},
        {body, query, "Operation", RESULT, "", ""},
        {body, query, "Operation", "", "", ""},
        {body, query, "Operation", long_path, result_file(1, {login}), login_row},
        // A path that climbs out of its directories is neither read nor removed.
        {body, query, "Operation", "/tmp/../tmp/log_result.dat", result_file(1, {login}), "", true},
        {body, query, "Operation", RESULT, result_file(1, {long_description}),
         "1,2026-12-01 00:00:00,Operation,Remote configuration,Disk settings,admin,10.0.0.1,1,\"" +
             std::string(4096, 'd') + "\",\r\n"},
    };
    for (const export_case &c : cases) {
        SCOPED_TRACE(c.path + ": " + std::to_string(c.file.size()) + " bytes");
        run_export(c);
    }
}

TEST(LogExport, QuotesTextsSoThatACsvReaderFindsEveryColumn)
{
    const result_item tricky = {entry(2, 999, DEC_8_END, 0, 5, "ev\"il,", "fe80::2%br0"),
                                "He said \"stop\", then\r\nleft"};
    const std::string row = "3,2026-12-08 23:59:59,Event,,N/A,\"ev\"\"il,\",fe80::2,5,\"He said \"\"stop\"\", then\r\nleft\",\r\n";
    const std::string out = run_export({json_of(export_body), query_bytes(4, {101}, 1, 5, 1), "Operation", RESULT,
                                        result_file(3, {login, bare, tricky}), login_row + bare_row + row});
    const std::string csv = out.substr(out.find("\r\n\r\n") + 4);
    test_root scratch;
    const char *script = "import csv, io, json, sys\n"
                         "rows = list(csv.reader(io.StringIO(sys.stdin.buffer.read().decode(), newline='')))\n"
                         "print(len(rows)); print(json.dumps(rows[3]))\n";
    cgi_result python = run_program(scratch, {"/usr/bin/python3", "-c", script}, {}, csv);
    ASSERT_EQ(python.exit_status, 0) << python.err;
    EXPECT_EQ(python.out, "4\n[\"3\", \"2026-12-08 23:59:59\", \"Event\", \"\", \"N/A\", \"ev\\\"il,\", \"fe80::2\", \"5\", "
                          "\"He said \\\"stop\\\", then\\r\\nleft\", \"\"]\n");
}

TEST(LogExport, AnswersTheErrorFormWithoutAUsableReplyAndLeavesNoMarker)
{
    const state_reader marker = [](const test_root &root) { return file_exists(root.file(MARKER)) ? "marker" : ""; };
    run_exchanges({
        {.request = log_post("/1003", json_of(export_body)),
         .script = {unusable_then_whole(LOG_EXPORT, std::string(67, 'x'), export_reply(""))},
         .sent = {asks(LOG_EXPORT, query_bytes(4, {101}, 1, 5, 1))},
         .answer = JSON_ERROR, .read_state = marker, .state = ""},
        {.request = log_post("/1003", json_of(export_body), NO_REPLY_WAIT_MS),
         .sent = {asks(LOG_EXPORT, query_bytes(4, {101}, 1, 5, 1))},
         .answer = JSON_ERROR, .read_state = marker, .state = ""},
    });
    std::vector<std::string> bodies;
    for (const char *key : {"language", "mainType", "subTypeArr", "startTime", "endTime", "curPageNum"})
        bodies.push_back(json_of(export_body, {}, {key}));
    for (const members &wrong : std::vector<members>{{{"startTime", "\"2026-12-01 00:00:00\""}}, {{"ch", "\"-1\""}},
                                                     {{"ch", "\"abc\""}}, {{"ch", "1.5"}}, {{"subTypeArr", "[9]"}},
                                                     {{"mainType", "65"}}})
        bodies.push_back(json_of(export_body, wrong));
    bodies.push_back("not json");
    request_rows rows;
    for (const std::string &body : bodies)
        rows.push_back(log_post("/1003", body, NO_REPLY_WAIT_MS));
    run_refusals({rows}, [](const test_root &root) {
        return std::string(file_exists(root.file(MARKER)) ? "marker" : "") + (file_exists(root.file("/tmp/log")) ? "dir" : "");
    });
}

TEST(LogExport, TheCheckPageSaysOkOnlyWhileAnExportRuns)
{
    device_root dev;
    fake_main_service fms(dev.root);
    EXPECT_EQ(run_page(dev.root, page_get("/1022")).out, TEXT + "NO");
    fms.script(LOG_EXPORT, fms_script().reply(reply_of(LOG_EXPORT), export_reply(""), 1500));
    std::string download;
    std::thread exporter([&] { download = run_cgi(dev.root, log_post("/1003", json_of(export_body))).out; });
    ASSERT_TRUE(fms.wait_requests(1));
    EXPECT_EQ(run_cgi(dev.root, page_get("/1022")).out, TEXT + "OK");
    exporter.join();
    EXPECT_NE(download.find(CSV_HEADER), std::string::npos) << download;
    EXPECT_EQ(run_page(dev.root, page_get("/1022")).out, TEXT + "NO");
}
