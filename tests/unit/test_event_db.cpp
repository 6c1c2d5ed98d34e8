// The event kinds in the database: copies of an in-memory record to the channels of a mask in one
// transaction, the HTTP batch, what the vxdb tool dumps and loads, and the masked operation log.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_env.h"
#include "link/web_json.h"
#include "link/web_ipc.h"
#include "link/web_oplog.h"
#include "support/db_lock.h"
#include "support/device_root.h"
#include "support/fake_main_service.h"
#include "tables/vxdb_example_kind.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_json.h"
#include "vxdb/vxdb_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
std::vector<int> g_adjusted;

void note_channel(void *record, int channel)
{
    g_adjusted.push_back(channel);
    static_cast<example_rec *>(record)->enable = 100 + channel;
}

uint64_t bits(std::initializer_list<int> channels)
{
    uint64_t mask = 0;
    for (int c : channels)
        mask |= uint64_t{1} << c;
    return mask;
}

void no_dispatch(void *, const void *, const void *) {}
}  // namespace

// Every channel of the mask inside the kind's range gets the record, its index field and whatever
// `adjust` rewrites; nothing else is written, and an empty mask does not even create the file.
TEST(WriteCopies, SourceFromMemoryToEveryChannelOfTheMask)
{
    const struct {
        const vxdb_kind *kind;
        uint64_t mask;
        int base;
        std::vector<int> stored;  // indexes written
    } rows[] = {
        {&example_kind, bits({0, 5, 63}), 0, {0, 5, 63}},
        {&port_kind, bits({0, 1, 3, 4}), 0, {1, 3}},  // the kind holds 1..3 only
        {&port_kind, bits({0, 2, 3}), 1, {1, 3}},     // index = base + channel
        {&example_kind, 0, 0, {}},
    };
    for (const auto &row : rows) {
        device_root db;
        g_adjusted.clear();
        example_rec source{};
        source.channel = 7;
        strcpy(source.name, "copied");
        const bool example = row.kind == &example_kind;
        ASSERT_EQ(vxdb_write_copies(VXDB_MAIN_DB, *row.kind, &source, row.mask, nullptr,
                                    example ? note_channel : nullptr, row.base),
                  0);
        EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, *row.kind), static_cast<int>(row.stored.size()));
        for (int index : row.stored) {
            example_rec stored{};
            ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, *row.kind, index, &stored), 0) << index;
            if (example) {
                EXPECT_EQ(stored.channel, index);
                EXPECT_EQ(stored.enable, 100 + index);
                EXPECT_STREQ(stored.name, "copied");
            }
        }
        if (example) {
            EXPECT_EQ(g_adjusted, row.stored);
        }
        if (row.mask == 0) {
            EXPECT_FALSE(file_exists(db.file(VXDB_MAIN_DB)));
        }
    }
    device_root db;
    EXPECT_EQ(vxdb_write_copies(VXDB_MAIN_DB, example_kind, nullptr, 1), -1);
    EXPECT_EQ(vxdb_write_copies(VXDB_MAIN_DB, example_kind, "x", 1, "bad name"), -1);
}

// The copies of the event kinds name their new channel: used list entries and HTTP records get it,
// unused list slots stay unused; PTZ lists land under their own event kind.
TEST(EventCopies, ChannelNamesRewrittenPerTarget)
{
    device_root db;
    const uint64_t mask = bits({1, 9, 63});

    whiteled_params_block white{};
    for (auto &entry : white.entries)
        entry.chn_id = ACTION_ENTRY_UNUSED;
    white.entries[0] = {7, 3, 1, 10};
    white.entries[1] = {7, 4, 0, 5};
    ASSERT_EQ(copy_whiteled_params(VXDB_MAIN_DB, &white, MOTION_WHITE_LED_PARAMS, mask), 0);
    warning_light_params_block light{};
    for (auto &entry : light.entries)
        entry.chn_id = ACTION_ENTRY_UNUSED;
    light.entries[0] = {7, 2, 0, 0, 30, 0};
    ASSERT_EQ(copy_warning_light_params(VXDB_MAIN_DB, &light, VIDEO_LOSS_WARNING_LIGHT_PARAMS, mask), 0);
    http_notification_params http{};
    http.chn_id = 7;
    strcpy(http.url, "http://host/");
    ASSERT_EQ(copy_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, mask), 0);
    ptz_action_list ptz{};
    ptz.entries[0].acto_ptz_channel = 2;
    ASSERT_EQ(copy_ptz_params(VXDB_MAIN_DB, &ptz, EVENT_KIND_VIDEO_LOSS, mask), 0);
    auto schedule = std::make_unique<event_schedule>();
    strcpy(schedule->days[3].items[2].start_time, "06:00");
    ASSERT_EQ(copy_event_schedules(VXDB_MAIN_DB, schedule.get(), MOTION_EMAIL_SCHE, mask), 0);

    for (int chn : {1, 9, 63}) {
        whiteled_params_block w;
        ASSERT_EQ(read_whiteled_params(VXDB_MAIN_DB, &w, MOTION_WHITE_LED_PARAMS, chn), 0);
        EXPECT_EQ(w.entries[0].chn_id, chn);
        EXPECT_EQ(w.entries[1].chn_id, chn);
        EXPECT_EQ(w.entries[1].chnid, 4);
        EXPECT_EQ(w.entries[2].chn_id, ACTION_ENTRY_UNUSED);
        warning_light_params_block l;
        ASSERT_EQ(read_warning_light_params(VXDB_MAIN_DB, &l, VIDEO_LOSS_WARNING_LIGHT_PARAMS, chn), 0);
        EXPECT_EQ(l.entries[0].chn_id, chn);
        EXPECT_EQ(l.entries[0].time, 30);
        EXPECT_EQ(l.entries[1].chn_id, ACTION_ENTRY_UNUSED);
        http_notification_params h;
        ASSERT_EQ(read_http_notification_params(VXDB_MAIN_DB, &h, MOTION_HTTP_NOTIFICATION_PARAMS, chn), 0);
        EXPECT_EQ(h.chn_id, chn);
        EXPECT_STREQ(h.url, "http://host/");
        ptz_action_list p;
        ASSERT_EQ(read_ptz_params(VXDB_MAIN_DB, &p, EVENT_KIND_VIDEO_LOSS, chn), 0);
        EXPECT_EQ(p.entries[0].acto_ptz_channel, 2);
        EXPECT_EQ(p.entries[63].chn_id, chn);
        EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &p, EVENT_KIND_MOTION, chn), 1);
        auto s = std::make_unique<event_schedule>();
        ASSERT_EQ(read_event_schedule(VXDB_MAIN_DB, s.get(), MOTION_EMAIL_SCHE, chn), 0);
        EXPECT_EQ(memcmp(s.get(), schedule.get(), sizeof *s), 0);
        EXPECT_EQ(read_event_schedule(VXDB_MAIN_DB, s.get(), MOTION_PTZ_SCHE, chn), 1);
    }
    whiteled_params_block w;
    EXPECT_EQ(read_whiteled_params(VXDB_MAIN_DB, &w, MOTION_WHITE_LED_PARAMS, 7), 1);
    EXPECT_EQ(read_whiteled_params(VXDB_MAIN_DB, &w, MOTION_WHITE_LED_PARAMS, 2), 1);
    // A list never stored is empty, and so are its copies.
    warning_light_params_block l;
    EXPECT_EQ(read_warning_light_params(VXDB_MAIN_DB, &l, MOTION_WARNING_LIGHT_PARAMS, 2), 1);
    ASSERT_EQ(copy_warning_light_params(VXDB_MAIN_DB, &l, MOTION_WARNING_LIGHT_PARAMS, bits({5})), 0);
    ASSERT_EQ(read_whiteled_params(VXDB_MAIN_DB, &w, VIDEO_LOSS_WHITE_LED_PARAMS, 2), 1);
    ASSERT_EQ(copy_whiteled_params(VXDB_MAIN_DB, &w, VIDEO_LOSS_WHITE_LED_PARAMS, bits({5})), 0);
    whiteled_params_block counting;
    EXPECT_EQ(read_peoplecnt_wled_params(VXDB_MAIN_DB, &counting, 2), 1);
    ASSERT_EQ(write_peoplecnt_wled_params(VXDB_MAIN_DB, &counting, 5), 0);
    json_ptr copied_light(get_warning_light_params_json_object(5, MOTION_WARNING_LIGHT_PARAMS));
    json_ptr copied_white(get_white_params_json_object(5, VIDEO_LOSS_WHITE_LED_PARAMS));
    json_ptr counting_white(get_pcnt_white_params_json_object(5));
    EXPECT_STREQ(json_object_to_json_string(copied_light.get()), "[ ]");
    EXPECT_STREQ(json_object_to_json_string(copied_white.get()), "[ ]");
    EXPECT_STREQ(json_object_to_json_string(counting_white.get()), "[ ]");
    EXPECT_EQ(copy_ptz_params(VXDB_MAIN_DB, &ptz, EVENT_KIND_COUNT, mask), -1);
}

// One transaction: a file held by another process takes no copy at all, and what was there stays.
TEST(EventCopies, LockedFileTakesNoCopy)
{
    device_root db;
    http_notification_params before{};
    strcpy(before.url, "old");
    ASSERT_EQ(write_http_notification_params(VXDB_MAIN_DB, &before, MOTION_HTTP_NOTIFICATION_PARAMS, 4), 0);
    vxdb_close_all();
    vxdb_set_busy_timeout_ms(50);
    http_notification_params http{};
    strcpy(http.url, "new");
    {
        lock_holder holder(db.file(VXDB_MAIN_DB));
        EXPECT_EQ(copy_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, bits({2, 4})),
                  -1);
        http_notification_params read{};
        EXPECT_EQ(read_http_notification_params(VXDB_MAIN_DB, &read, MOTION_HTTP_NOTIFICATION_PARAMS, 4), -1);
    }
    vxdb_set_busy_timeout_ms(0);
    vxdb_close_all();
    http_notification_params after{};
    EXPECT_EQ(read_http_notification_params(VXDB_MAIN_DB, &after, MOTION_HTTP_NOTIFICATION_PARAMS, 2), 1);
    ASSERT_EQ(read_http_notification_params(VXDB_MAIN_DB, &after, MOTION_HTTP_NOTIFICATION_PARAMS, 4), 0);
    EXPECT_STREQ(after.url, "old");
}

// The exception records: 14 in one write; a record never stored reads as not set (-1).
TEST(HttpBatch, FourteenExceptionRecords)
{
    device_root db;
    http_notification_params records[EXCEPTION_KINDS] = {};
    for (int i = 0; i < EXCEPTION_KINDS; ++i)
        records[i].chn_id = i % 3 == 0 ? -1 : i;
    strcpy(records[5].username, "five");
    ASSERT_EQ(write_http_notification_params_batch(VXDB_MAIN_DB, records, 10, EXCEPT_HTTP_NOTIFICATION_PARAMS), 0);
    http_notification_params back[EXCEPTION_KINDS];
    memset(back, 0x5a, sizeof back);
    EXPECT_EQ(read_http_notification_params_batch(VXDB_MAIN_DB, back, EXCEPTION_KINDS, EXCEPT_HTTP_NOTIFICATION_PARAMS),
              EXCEPTION_KINDS);
    for (int i = 0; i < EXCEPTION_KINDS; ++i)
        EXPECT_EQ(back[i].chn_id, i < 10 ? records[i].chn_id : -1) << i;
    EXPECT_STREQ(back[5].username, "five");
    EXPECT_STREQ(back[12].url, "");
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, http_notification_kind, MOTION_HTTP_NOTIFICATION_PARAMS), 0);
    EXPECT_EQ(write_http_notification_params_batch(VXDB_MAIN_DB, records, 65, EXCEPT_HTTP_NOTIFICATION_PARAMS), -1);
    EXPECT_EQ(write_http_notification_params_batch(VXDB_MAIN_DB, nullptr, 1, EXCEPT_HTTP_NOTIFICATION_PARAMS), -1);
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
    schedule->days[0].items[0].action_type = -6;
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

// 3509: the record the 3485 sender fills, then the mask at byte 680; send only.
TEST(OperationLogMask, RecordThenMask)
{
    device_root dev;
    fake_main_service fms(dev.root);
    cgiCookie = "userName=admin";
    cgiRemoteAddr = "192.0.2.7";
    cgi_send_operation_log_mask(no_dispatch, oplog_kind{4, 204, 909}, 3, bits({2, 63}));
    ASSERT_TRUE(fms.wait_requests(1));
    fms.wait_idle();
    cgiCookie = "";
    cgiRemoteAddr = "";
    ASSERT_EQ(fms.requests().size(), 1u);
    const fms_request request = fms.requests()[0];
    EXPECT_EQ(request.code, OPERATION_LOG_MASK);
    EXPECT_EQ(request.flags, 1u);
    operation_log_mask expected{};
    expected.log.main_type = 4;
    expected.log.sub_type = 204;
    expected.log.parameter_type = 909;
    expected.log.remote = 1;
    expected.log.chan_no = 3;
    strcpy(expected.log.ip, "192.0.2.7");
    strcpy(expected.log.user, "admin");
    expected.channel_mask = bits({2, 63});
    ASSERT_EQ(request.payload.size(), sizeof expected);
    EXPECT_EQ(request.payload, std::string(reinterpret_cast<const char *>(&expected), sizeof expected));
}
