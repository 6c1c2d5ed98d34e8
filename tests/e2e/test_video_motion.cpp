// The motion pages ("/6010" to "/6013", "/6098", "/6112" to "/6114") through nvr.cgi and the fake main
// service: the payload bytes at their offsets, the stored records, and the answers.
#include "e2e/video_pages.h"
#include "support/device_root.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "video/video_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace {
uint64_t bit(int n)
{
    return uint64_t{1} << n;
}

std::string text_with_ones(size_t length, std::initializer_list<size_t> ones)
{
    std::string text(length, '0');
    for (size_t n : ones)
        text[n] = '1';
    return text;
}

motion_record motion(int32_t channel)
{
    motion_record record = zeroed<motion_record>();
    record.channel = channel;
    return record;
}

// What nothing a refused or failed request may leave: no motion record, no motion schedule, no PTZ list.
std::string stored_rows(const test_root &)
{
    return std::to_string(vxdb_count(VXDB_MAIN_DB, motion_kind)) + " " +
           std::to_string(vxdb_count(VXDB_MAIN_DB, event_schedule_kind, MOTION_AUDIBLE_SCHE)) + " " +
           std::to_string(vxdb_count(VXDB_MAIN_DB, ptz_params_kind));
}

const std::string ONES_1_AND_63 = text_with_ones(64, {1, 63});
}  // namespace

// The detection page builds a fresh record from its members; the trigger text is cut to 64 and its
// mask built over positions 0..63 only; the area is cut to 367 stored and 299 sent.
TEST(MotionPages, DetectionSettingsStoreAFreshRecordAndTellTheCamera)
{
    const std::string area(400, 'a');
    motion_record first = motion(3);
    first.enable = 2;
    first.sensitivity = 4;
    first.tri_mask = bit(1) | bit(63);
    first.tri_alarms = 1;
    memset(first.motion_table, 'a', 367);
    first.interval = 9;
    first.enable_ms = 1;
    memcpy(first.tri_channels, ONES_1_AND_63.data(), 64);

    const std::string long_text = text_with_ones(70, {0, 63, 64, 65, 69});
    motion_record second = motion(0);
    second.enable = 0;
    second.tri_mask = bit(0) | bit(63);
    memcpy(second.tri_channels, long_text.data(), 64);
    strcpy(second.motion_table, "x");
    second.enable_ms = 2;

    run_exchanges({
        {.request = page_post("/6012", R"({"camId":3,"enable":2,"sensitivity":4,"triChannels":")" + ONES_1_AND_63 +
                                           R"(","triAlarms":1,"interval":9,"motionTable":")" + area +
                                           R"(","enableMS":1})"),
         .setup = [](const test_root &) {
             motion_record old = motion(3);
             old.email_interval = 30;
             old.audio_id = 2;
             write_motion(VXDB_MAIN_DB, &old);
         },
         .sent = {notifies(MOTION_CHANGED, ints({3})),
                  notifies(MOTION_AREA, put_text(at(340, {{304, 4}, {308, 3}}), 0, std::string(299, 'a'))),
                  notifies(SMART_MOTION, smart_motion(3, 1)), notifies(SMART_MOTION_SCHEDULE, all_day(3, {})),
                  logs(LOG_MOTION, 4)},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) { return stored_motion(3); },
         .state = fms_record(first)},
        {.request = page_post("/6012", R"({"camId":0,"enable":0,"sensitivity":0,"triChannels":")" + long_text +
                                           R"(","triAlarms":0,"interval":0,"motionTable":"x","enableMS":2})"),
         .sent = {notifies(MOTION_CHANGED, ints({0})), notifies(MOTION_AREA, put_text(at(340, {}), 0, "x")),
                  notifies(SMART_MOTION, smart_motion(0, 0)), logs(LOG_MOTION, 1)},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) { return stored_motion(0); },
         .state = fms_record(second)},
    });
}

// The basic page changes only what it sends over the stored record, and a channel left out of the
// trigger text is deselected in the mask.
TEST(MotionPages, BasicSettingsKeepTheOtherMembers)
{
    motion_record expected = motion(6);
    expected.sensitivity = 5;
    expected.email_interval = 30;
    expected.audio_id = 2;
    expected.interval = 4;
    strcpy(expected.tri_channels, "01");
    expected.tri_mask = bit(1);
    run_exchanges({
        {.request = page_post("/6114", R"({"camId":6,"sensitivity":5,"triChannels":"01"})"),
         .setup = [](const test_root &) {
             motion_record old = motion(6);
             old.sensitivity = 1;
             old.email_interval = 30;
             old.audio_id = 2;
             old.interval = 4;
             strcpy(old.tri_channels, "111");
             old.tri_mask = 7;
             write_motion(VXDB_MAIN_DB, &old);
         },
         .sent = {notifies(MOTION_CHANGED, ints({6})), logs(LOG_MOTION, 7)},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) { return stored_motion(6); },
         .state = fms_record(expected)},
    });
}

// The buzzer schedule written by "/6013" and "/6113" is what "/6011" reads; a request without a
// schedule leaves it as stored; a time text is cut to 31 characters.
TEST(MotionPages, BuzzerScheduleRoundTrips)
{
    device_root dev;
    fake_main_service fms(dev.root);
    const std::string long_time(40, '9');
    motion_record after = motion(5);
    after.enable_ms = 1;
    after.interval = 8;
    run_exchanges(dev.root, fms, {
        {.request = page_post("/6013", R"({"camId":5,"schedule":[[["08:00",")" + long_time + R"(",2]]]})"),
         .sent = {notifies(MOTION_CHANGED, ints({5}))},
         .answer = TEXT + "OK"},
        {.request = page_get("/6011", "5"), .answer = JSON + week(segment("08:00", std::string(31, '9'), 2))},
        {.request = page_post("/6113", R"({"camId":5,"enableMS":1,"interval":8})"),
         .sent = {notifies(MOTION_CHANGED, ints({5})), notifies(MOTION_CHANGED, ints({5})),
                  notifies(SMART_MOTION, smart_motion(5, 1)), notifies(SMART_MOTION_SCHEDULE, all_day(5, {}))},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) { return stored_motion(5); },
         .state = fms_record(after)},
        {.request = page_get("/6011", "5"), .answer = JSON + week(segment("08:00", std::string(31, '9'), 2))},
        {.request = page_post("/6113", R"({"camId":5,"enableMS":0,"schedule":[[["01:00","02:00",1]],[]]})"),
         .sent = {notifies(MOTION_CHANGED, ints({5})), notifies(MOTION_CHANGED, ints({5})),
                  notifies(SMART_MOTION, smart_motion(5, 0))},
         .answer = TEXT + "OK"},
        {.request = page_get("/6011", "5"), .answer = JSON + week(segment("01:00", "02:00", 1))},
        {.request = page_get("/6011", "4"), .answer = JSON + week()},
    });
}

// The map fills its 300 bytes without a terminator; the reserved words are not shown. Without a
// whole reply the text error form.
TEST(MotionPages, MotionMapAnswersTheReply)
{
    motion_map_reply reply = zeroed<motion_map_reply>();
    reply.enable = 1;
    memset(reply.map, 'b', sizeof reply.map);
    reply.sensitivity = 4;
    reply.reserved0 = 77;
    reply.result = -2;
    reply.model_type = 2;
    reply.fishdisplay = 3;
    reply.fishtransfer = 4;
    reply.fishinstall = 5;
    reply.enable_ai = 1;
    reply.reserved1 = 88;
    const std::string answer = JSON + "{ \"map\": \"" + std::string(300, 'b') +
                               "\", \"sensitivity\": 4, \"result\": -2, \"enable\": 1, \"modelType\": 2, "
                               "\"fishdisplay\": 3, \"fishtransfer\": 4, \"fishinstall\": 5, \"enableAI\": 1 }";
    run_exchanges({
        {.request = page_post("/6098", R"({"id":1})"),
         .script = {replies(MOTION_MAP, fms_record(reply))},
         .sent = {asks(MOTION_MAP, ints({1}))},
         .answer = answer},
        {.request = page_post("/6098", R"({"id":9})", NO_REPLY_WAIT_MS),
         .sent = {asks(MOTION_MAP, ints({9}))},
         .answer = TEXT_ERROR},
        {.request = page_post("/6098", R"({"id":2})"),
         .script = {unusable_then_whole(MOTION_MAP, fms_record(reply).substr(0, 339), fms_record(reply))},
         .sent = {asks(MOTION_MAP, ints({2}))},
         .answer = TEXT_ERROR},
    });
}

// The whole motion page: its dialog stored under the requested channel, the page's settings copied
// to the other channels of the mask (never to itself), and the requests in their order.
TEST(MotionPages, MotionDialogSavesCopiesAndSendsInOrder)
{
    motion_record own = motion(2);
    own.enable = 1;
    own.sensitivity = 1;
    own.interval = 6;
    own.email_interval = 11;
    strcpy(own.motion_table, "old");
    strcpy(own.tri_channels, "001");
    own.tri_mask = bit(2);
    motion_record copy = own;
    copy.channel = 5;
    copy.sensitivity = 6;
    copy.enable_ms = 1;
    strcpy(copy.motion_table, "abc");
    ptz_action_entry ptz{5, 3, 0, 1, 4, 0, 0};

    operation_log_mask log{oplog(LOG_MOTION, 3), bit(5)};
    operation_log_mask no_copy{oplog(LOG_MOTION, 1), 0};
    run_exchanges({
        {.request = page_post("/6112", R"({"chnid":2,"dialog":{"enable":1,"interval":6,"triChannels":"001",
             "ptzParams":[{"acto_ptz_channel":3,"acto_ptz_type":1,"acto_ptz_preset":4}]},"enableMS":1,
             "sensitivity":6,"enableAI":1,"detection":3,"motionTable":"abc","copyCnt":3,"copyChn":[2,5,70]})"),
         .setup = [](const test_root &) {
             motion_record old = motion(2);
             old.sensitivity = 1;
             old.interval = 4;
             old.email_interval = 11;
             strcpy(old.motion_table, "old");
             write_motion(VXDB_MAIN_DB, &old);
         },
         .sent = {notifies(MOTION_CHANGED, ints({2})), notifies(OPERATION_LOG_MASK, fms_record(log)),
                  notifies(MOTION_PAGE, put_text(at(580, {{300, 6}, {304, 2}, {308, 1}, {312, 5}, {568, 1},
                                                          {572, 1}, {576, 3}}), 0, "abc")),
                  notifies(MOTION_COPIED, mask_bytes(bit(5))), notifies(SMART_MOTION, smart_motion(2, 1, {5})),
                  notifies(SMART_MOTION_SCHEDULE_COPY, all_day(0, {5}))},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) {
             ptz_action_list list;
             read_ptz_params(VXDB_MAIN_DB, &list, EVENT_KIND_MOTION, 5);
             return stored_motion(2) + stored_motion(5) + fms_record(list.entries[0]) + stored_motion(4);
         },
         .state = fms_record(own) + fms_record(copy) + fms_record(ptz) + fms_record(motion(4))},
        // No dialog and nothing to copy: no notice of the channel, smart motion off, no copy schedule.
        {.request = page_post("/6112", R"({"chnid":0,"enableMS":0,"sensitivity":2,"copyCnt":0,"copyChn":[1]})"),
         .sent = {notifies(OPERATION_LOG_MASK, fms_record(no_copy)),
                  notifies(MOTION_PAGE, at(580, {{300, 2}})), notifies(MOTION_COPIED, mask_bytes(0)),
                  notifies(SMART_MOTION, smart_motion(0, 0))},
         .answer = TEXT + "OK",
         .read_state = stored_rows,
         .state = "0 0 0"},
    });
}

// A channel outside 0..63 or a body that does not parse answers the JSON error and stores and sends
// nothing.
TEST(MotionPages, WholePagesRefuseABadChannelWithTheErrorForm)
{
    std::vector<exchange_row> rows;
    for (const char *body : {R"({"chnid":64,"dialog":{"interval":1},"copyCnt":1,"copyChn":[1]})",
                             R"({"chnid":-1,"dialog":{"interval":1}})", "not json",
                             R"({"chnid":1,"sensitivity":-1,"dialog":{"interval":1}})",
                             R"({"chnid":1,"dialog":{"enable":3,"ptzParams":[{"acto_ptz_channel":1}]}})"})
        rows.push_back({.request = page_post("/6112", body), .answer = JSON_ERROR, .read_state = stored_rows,
                        .state = "0 0 0"});
    for (const char *body : {R"({"chnid":64})", R"({"chnid":"x"})", "", "{}"})
        rows.push_back({.request = page_post("/6010", body), .answer = JSON_ERROR});
    run_exchanges(rows);
}

// Every member in its order: the record, the schedules, the camera alarm outputs, the white-LED,
// warning-light and HTTP settings, the sound and the PTZ list (entries without a PTZ channel left out).
TEST(MotionPages, MotionInfoAnswersEveryMemberInOrder)
{
    const std::string answer =
        JSON + "{ \"chnid\": 7, \"enable\": 1, \"sensitivity\": 3, \"triChannels\": \"0011\", \"triAlarms\": 2, "
               "\"interval\": 10, \"enableMS\": 1, \"motionTable\": \"ff\", \"email_enable\": 1, \"email_interval\": 30, "
               "\"email_pic_enable\": 1, \"tri_channels_pic\": \"01\", \"ptz_interval\": 5, \"alarmout_interval\": 6, "
               "\"http_notification_interval\": 7, \"effective\": " + week() + ", \"audible\": " +
        week(segment("01:00", "02:00", 1)) + ", \"email\": " + week() + ", \"ptz\": " + week() +
        ", \"triChnAlarms\": [ \"1\", \"01\" ], \"white\": " + week() +
        ", \"whiteInfo\": [ { \"chnid\": 4, \"mode\": 1, \"time\": 30 } ], \"white_interval\": 8, \"warningLight\": " +
        week() + ", \"warningLightInfo\": [ ], \"warning_light_interval\": 9, \"httpSche\": " + week() +
        ", \"httpParams\": { \"chnId\": 7, \"url\": \"http:\\/\\/h\", \"username\": \"u\", \"password\": \"p\" }, "
        "\"audioId\": 3, \"audioIdMask\": 0, \"ptzParams\": [ { \"acto_ptz_channel\": 2, \"acto_ptz_type\": 1, "
        "\"acto_ptz_preset\": 5, \"acto_ptz_patrol\": 0 } ] }";
    run_exchanges({
        {.request = page_post("/6010", R"({"chnid":7})"),
         .setup = [](const test_root &) {
             motion_record record = motion(7);
             record.enable = 1;
             record.sensitivity = 3;
             strcpy(record.tri_channels, "0011");
             record.tri_alarms = 2;
             record.interval = 10;
             record.enable_ms = 1;
             strcpy(record.motion_table, "ff");
             record.email_enable = 1;
             record.email_interval = 30;
             record.email_pic_enable = 1;
             strcpy(record.tri_channels_pic, "01");
             record.ptz_interval = 5;
             record.alarmout_interval = 6;
             record.http_notification_interval = 7;
             strcpy(record.tri_chn_alarms[0], "1");
             strcpy(record.tri_chn_alarms[1], "01");
             record.white_interval = 8;
             record.warning_light_interval = 9;
             record.audio_id = 3;
             write_motion(VXDB_MAIN_DB, &record);
             event_schedule schedule = zeroed<event_schedule>();
             strcpy(schedule.days[0].items[0].start_time, "01:00");
             strcpy(schedule.days[0].items[0].end_time, "02:00");
             schedule.days[0].items[0].action_type = 1;
             write_motion_audible_schedule(VXDB_MAIN_DB, &schedule, 7);
             whiteled_params_block white;
             for (auto &entry : white.entries)
                 entry = {ACTION_ENTRY_UNUSED, 0, 0, 0};
             white.entries[0] = {7, 4, 1, 30};
             write_whiteled_params_all(VXDB_MAIN_DB, &white, MOTION_WHITE_LED_PARAMS, 7);
             http_notification_params http = zeroed<http_notification_params>();
             strcpy(http.url, "http://h");
             strcpy(http.username, "u");
             strcpy(http.password, "p");
             write_http_notification_params(VXDB_MAIN_DB, &http, MOTION_HTTP_NOTIFICATION_PARAMS, 7);
             ptz_action_list ptz = zeroed<ptz_action_list>();
             ptz.entries[0] = {7, 0, 0, 1, 9, 0, 0};
             ptz.entries[1] = {7, 2, 0, 1, 5, 0, 0};
             write_ptz_params_all(VXDB_MAIN_DB, &ptz, EVENT_KIND_MOTION, 7);
         },
         .answer = answer},
    });
}

TEST(MotionPages, RefuseInvalidRequests)
{
    run_refusals({
        posts("/6012", {R"({"enable":1,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":0,"motionTable":"","enableMS":0})",
                        R"({"camId":1,"enable":3,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":0,"motionTable":"","enableMS":0})",
                        R"({"camId":64,"enable":1,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":0,"motionTable":"","enableMS":0})",
                        R"({"camId":1,"enable":1,"sensitivity":-1,"triChannels":"1","triAlarms":0,"interval":0,"motionTable":"","enableMS":0})",
                        R"({"camId":1,"enable":1,"sensitivity":1,"triAlarms":0,"interval":0,"motionTable":"","enableMS":0})",
                        R"({"camId":1,"enable":1,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":-1,"motionTable":"","enableMS":0})",
                        R"({"camId":1,"enable":1,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":0,"enableMS":0})",
                        R"({"camId":1,"enable":1,"sensitivity":1,"triChannels":"1","triAlarms":0,"interval":0,"motionTable":""})",
                        "not json"}),
        gets("/6011", {"64", "-1", "abc", "", "5x"}),
        posts("/6013", {R"({"camId":64,"schedule":[]})", R"({"camId":-1,"schedule":[]})", R"({"camId":1})",
                        R"({"camId":1,"schedule":null})", R"({"camId":1,"schedule":{}})"}),
        posts("/6113", {R"({"camId":64,"enable":1})", R"({"camId":1,"enable":3})", R"({"enable":1})"}),
        posts("/6114", {R"({"camId":-1,"sensitivity":1})", R"({"camId":1,"sensitivity":-2})", "[]"}),
        posts("/6098", {"{}", R"({"id":-1})", "x"}),
    }, stored_rows);
}
