// The event kinds in the database: copies of an in-memory record to the channels of a mask in one
// transaction, a file that cannot be read, the HTTP batch, what the vxdb tool dumps and loads, and
// the masked operation log.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_json.h"
#include "link/web_oplog.h"
#include "support/db_lock.h"
#include "support/device_root.h"
#include "support/fake_main_service.h"
#include "tables/vxdb_example_kind.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {
uint64_t bits(std::initializer_list<int> channels)
{
    uint64_t mask = 0;
    for (int c : channels)
        mask |= uint64_t{1} << c;
    return mask;
}

void no_dispatch(void *, const void *, const void *) {}

// The rows the file holds under a kind's (or table's) name, as "index:first byte" each, read past the
// library the way the main service reads them.
std::string raw_rows(const std::string &file, const char *key)
{
    vxdb_close_all();
    sqlite3 *db = nullptr;
    std::string rows;
    const std::string sql = std::string("SELECT idx || ':' || hex(substr(data, 1, 1)) FROM records WHERE kind = '") +
                            key + "' ORDER BY idx";
    auto add = [](void *out, int, char **values, char **) {
        *static_cast<std::string *>(out) += std::string(values[0]) + " ";
        return 0;
    };
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), add, &rows, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return rows;
}
}  // namespace

// Every channel of the mask inside the kind's range gets the record, its index field (base + channel)
// and what names the channel: used list entries, HTTP records and every PTZ entry get it, unused list
// slots stay unused, PTZ lists land under their own event kind. A file another process holds takes
// no copy at all, and its reads report failure: the builders then give nothing, so the page answers
// its error form.
TEST(EventCopies, ChannelNamesRewrittenPerTargetInOneTransaction)
{
    device_root db;
    const std::string file = db.file(VXDB_MAIN_DB);
    const uint64_t mask = bits({1, 9, 63});
    example_rec source{};
    source.channel = 7;
    ASSERT_EQ(vxdb_write_copies(VXDB_MAIN_DB, example_kind, &source, mask), 0);
    // The port kind holds 1..3: channels 0, 2 and 3 of base 1 land on 1, 3 and nothing, channel 0 of
    // base 0 on nothing.
    ASSERT_EQ(vxdb_write_copies(VXDB_MAIN_DB, port_kind, &source, bits({0, 2, 3}), nullptr, nullptr, 1), 0);
    ASSERT_EQ(vxdb_write_copies(VXDB_MAIN_DB, port_kind, &source, bits({0}), nullptr, nullptr, 0), 0);
    EXPECT_EQ(vxdb_write_copies(VXDB_MAIN_DB, example_kind, nullptr, mask), -1);
    whiteled_params_block white;
    ASSERT_EQ(read_whiteled_params(VXDB_MAIN_DB, &white, MOTION_WHITE_LED_PARAMS, 7), 1);  // an empty list
    white.entries[0] = {7, 3, 1, 10};
    ASSERT_EQ(copy_whiteled_params(VXDB_MAIN_DB, &white, MOTION_WHITE_LED_PARAMS, mask), 0);
    warning_light_params_block light{};
    ASSERT_EQ(copy_warning_light_params(VXDB_MAIN_DB, &light, VIDEO_LOSS_WARNING_LIGHT_PARAMS, mask), 0);
    http_notification_params http{};
    http.chn_id = 7;
    ASSERT_EQ(copy_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, mask), 0);
    ptz_action_list ptz{};
    ASSERT_EQ(copy_ptz_params(VXDB_MAIN_DB, &ptz, EVENT_KIND_VIDEO_LOSS, mask), 0);
    EXPECT_EQ(copy_ptz_params(VXDB_MAIN_DB, &ptz, EVENT_KIND_COUNT, mask), -1);

    // The first word of every copy names its channel: the index field, the first list entry's chn_id.
    const std::string named = "1:01 9:09 63:3F ";
    EXPECT_EQ(raw_rows(file, "example"), named);
    EXPECT_EQ(raw_rows(file, "port"), "1:07 3:07 ");
    EXPECT_EQ(raw_rows(file, MOTION_WHITE_LED_PARAMS), named);
    EXPECT_EQ(raw_rows(file, VIDEO_LOSS_WARNING_LIGHT_PARAMS), named);
    EXPECT_EQ(raw_rows(file, MOTION_HTTP_NOTIFICATION_PARAMS), named);
    EXPECT_EQ(raw_rows(file, "ptz_params"), "129:01 137:09 191:3F ");  // video loss: 2 * 64 + channel
    ASSERT_EQ(read_whiteled_params(VXDB_MAIN_DB, &white, MOTION_WHITE_LED_PARAMS, 9), 0);
    EXPECT_EQ(white.entries[1].chn_id, ACTION_ENTRY_UNUSED);
    ASSERT_EQ(read_ptz_params(VXDB_MAIN_DB, &ptz, EVENT_KIND_VIDEO_LOSS, 9), 0);
    EXPECT_EQ(ptz.entries[63].chn_id, 9);
    // A list never stored is empty, and so are its copies.
    ASSERT_EQ(read_whiteled_params(VXDB_MAIN_DB, &white, VIDEO_LOSS_WHITE_LED_PARAMS, 2), 1);
    ASSERT_EQ(copy_whiteled_params(VXDB_MAIN_DB, &white, VIDEO_LOSS_WHITE_LED_PARAMS, bits({5})), 0);
    json_ptr copied_white(get_white_params_json_object(5, VIDEO_LOSS_WHITE_LED_PARAMS));
    EXPECT_STREQ(json_object_to_json_string(copied_white.get()), "[ ]");

    vxdb_close_all();
    vxdb_set_busy_timeout_ms(50);
    {
        lock_holder holder(db.file(VXDB_MAIN_DB));
        strcpy(http.url, "new");
        EXPECT_EQ(copy_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, bits({2, 9})),
                  -1);
        EXPECT_EQ(read_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, 9), -1);
        http_notification_params batch[2];
        memset(batch, 0x5a, sizeof batch);
        EXPECT_EQ(read_http_notification_params_batch(VXDB_MAIN_DB, batch, 2, EXCEPT_HTTP_NOTIFICATION_PARAMS), -1);
        EXPECT_EQ(batch[1].chn_id, -1);
        EXPECT_STREQ(batch[1].url, "");
        EXPECT_EQ(get_white_params_json_object(1, MOTION_WHITE_LED_PARAMS), nullptr);
        EXPECT_EQ(get_http_params_json_object(1, MOTION_HTTP_NOTIFICATION_PARAMS), nullptr);
        EXPECT_EQ(get_ptz_params_json_object(EVENT_KIND_VIDEO_LOSS, 1), nullptr);
    }
    vxdb_set_busy_timeout_ms(0);
    vxdb_close_all();
    EXPECT_EQ(read_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, 2), 1);
    ASSERT_EQ(read_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, 9), 0);
    EXPECT_STREQ(http.url, "");
}

// The exception records in one write; a record never stored reads as not set (-1); a count past the
// 64 indexes is cut by the read.
TEST(HttpBatch, ExceptionRecords)
{
    device_root db;
    http_notification_params records[EXCEPTION_KINDS] = {};
    for (int i = 0; i < EXCEPTION_KINDS; ++i)
        records[i].chn_id = i % 3 == 0 ? -1 : i;
    strcpy(records[5].username, "five");
    ASSERT_EQ(write_http_notification_params_batch(VXDB_MAIN_DB, records, 10, EXCEPT_HTTP_NOTIFICATION_PARAMS), 0);
    http_notification_params back[70];
    memset(back, 0x5a, sizeof back);
    EXPECT_EQ(read_http_notification_params_batch(VXDB_MAIN_DB, back, 70, EXCEPT_HTTP_NOTIFICATION_PARAMS), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(back[i].chn_id, i < 10 ? records[i].chn_id : -1) << i;
    EXPECT_STREQ(back[5].username, "five");
    EXPECT_STREQ(back[12].url, "");
    EXPECT_EQ(back[64].chn_id, 0x5a5a5a5a) << "nothing read past the 64 indexes";
}

// The tool knows every kind; a schedule dumped from one table loads into another as the same bytes.
TEST(EventKinds, RegisteredAndDumpedAndLoadedByTheTool)
{
    for (const char *name : {"event_schedule", "whiteled_params", "warning_light_params", "http_notification_params",
                             "ptz_params", "peoplecnt_ptz_params", "peoplecnt_wled_params"})
        EXPECT_NE(vxdb_find_kind(name), nullptr) << name;

    device_root db;
    auto schedule = std::make_unique<event_schedule>();
    strcpy(schedule->days[7].items[47].end_time, "23:59");
    schedule->days[6].valid = 1;
    ASSERT_EQ(write_event_schedule(VXDB_MAIN_DB, schedule.get(), MOTION_AUDIBLE_SCHE, 3), 0);
    // The whole table: element i is channel i (null where none is stored).
    json_ptr dumped(vxdb_dump(VXDB_MAIN_DB, event_schedule_kind, VXDB_ALL, MOTION_AUDIBLE_SCHE));
    ASSERT_TRUE(dumped);
    std::string error;
    ASSERT_EQ(vxdb_load(VXDB_MAIN_DB, event_schedule_kind, dumped.get(), &error, VIDEOLOSS_AUDIBLE_SCHE), 1) << error;
    auto back = std::make_unique<event_schedule>();
    ASSERT_EQ(read_event_schedule(VXDB_MAIN_DB, back.get(), VIDEOLOSS_AUDIBLE_SCHE, 3), 0);
    EXPECT_EQ(memcmp(back.get(), schedule.get(), sizeof *back), 0);
    EXPECT_EQ(read_event_schedule(VXDB_MAIN_DB, back.get(), VIDEOLOSS_AUDIBLE_SCHE, 4), 1);
    EXPECT_EQ(read_event_schedule(VXDB_MAIN_DB, back.get(), VIDEOLOSS_AUDIBLE_SCHE, 64), -1);
    EXPECT_EQ(write_event_schedule(VXDB_MAIN_DB, back.get(), VIDEOLOSS_AUDIBLE_SCHE, 64), -1);
}

// 3509: the usual operation-log record, then the mask at byte 680; send only.
TEST(OperationLogMask, RecordThenMask)
{
    device_root dev;
    fake_main_service fms(dev.root);
    cgi_send_operation_log_mask(no_dispatch, oplog_kind{4, 204, 909}, 3, bits({2, 63}));
    ASSERT_TRUE(fms.wait_requests(1));
    fms.wait_idle();
    operation_log_mask expected{};
    ASSERT_EQ(cgi_init_log_info(&expected.log), 0);
    expected.log.main_type = 4;
    expected.log.sub_type = 204;
    expected.log.parameter_type = 909;
    expected.log.chan_no = 3;
    expected.channel_mask = bits({2, 63});
    ASSERT_EQ(fms.requests().size(), 1u);
    EXPECT_EQ(fms.requests()[0].code, OPERATION_LOG_MASK);
    EXPECT_EQ(fms.requests()[0].flags, 1u);
    EXPECT_EQ(fms.requests()[0].payload, std::string(reinterpret_cast<const char *>(&expected), sizeof expected));
}
