// The video-loss pages ("/6014" to "/6017", "/6094", "/6095"), the camera's own events ("/6090" to
// "/6093") and the exceptions ("/6999", "/6998") through nvr.cgi and the fake main service.
#include "e2e/video_pages.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_session.h"
#include "support/device_root.h"
#include "video/video_codes.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_exception.h"

#include <gtest/gtest.h>

#include <map>
#include <ctime>
#include <string>
#include <vector>

namespace {
uint64_t bit(int n)
{
    return uint64_t{1} << n;
}

std::string stored_rows(const test_root &)
{
    std::string counts;
    for (const vxdb_kind *kind : {&video_loss_kind, &cameraio_kind, &volumedetect_kind, &trigger_alarms_kind})
        counts += std::to_string(vxdb_count(VXDB_MAIN_DB, *kind)) + " ";
    return counts + std::to_string(vxdb_count(VXDB_MAIN_DB, event_schedule_kind, VIDEOLOSS_AUDIBLE_SCHE)) + " " +
           std::to_string(vxdb_count(VXDB_MAIN_DB, ptz_params_kind));
}

std::string videoloss_info(int chn, int enable, int interval, const std::string &audible,
                           const std::string &alarms, const std::string &white, const std::string &http,
                           const std::string &ptz)
{
    const std::string n = std::to_string(chn);
    return JSON + "{ \"chnid\": " + n + ", \"enable\": " + std::to_string(enable) +
           ", \"triAlarms\": 0, \"interval\": " + std::to_string(interval) +
           ", \"email_interval\": 0, \"ptz_interval\": 0, \"alarmout_interval\": 0, \"http_notification_interval\": 0, "
           "\"audible\": " + audible + ", \"email\": " + week() + ", \"ptz\": " + week() + ", \"triChnAlarms\": " +
           alarms + ", \"white\": " + week() + ", \"whiteInfo\": " + white + ", \"white_interval\": 0, "
           "\"warningLight\": " + week() + ", \"warningLightInfo\": [ ], \"warning_light_interval\": 0, "
           "\"httpSche\": " + week() + ", \"httpParams\": { \"chnId\": " + n + ", " + http +
           " }, \"audioId\": 0, \"audioIdMask\": 0, \"ptzParams\": " + ptz + " }";
}

// The exception page's answer: a member per named kind with its texts (empty unless given).
std::string exception_info(const std::map<std::string, std::string> &http, const std::string &words, int interval)
{
    std::string members;
    for (int kind = 0; kind < VX_EXCEPTION_KINDS; ++kind) {
        char name[32];
        if (get_exception_name(kind, name, sizeof name) != 0 || name[0] == '\0')
            continue;
        const auto given = http.find(name);
        members += (members.empty() ? "" : ", ") + std::string("\"") + name + "\": { " +
                   (given != http.end() ? given->second : "\"url\": \"\", \"username\": \"\", \"password\": \"\"") +
                   " }";
    }
    return JSON + "{ \"httpParams\": { " + members + " }, \"exception\": [ " + words +
           " ], \"recordFailedMailInterval\": " + std::to_string(interval) + " }";
}

const std::string SUCCESS = JSON + "{ \"status\": \"CGI SUCCESS\" }";
}  // namespace

// The dialog is stored under its channel with both enable words 2, copied to the other channels of
// the mask (a list never stored copies as empty), and the early pages read and change the same
// record and buzzer schedule.
TEST(VideoLossPages, DialogCopiesAndTheEarlyPagesShareTheRecord)
{
    device_root dev;
    fake_main_service fms(dev.root);
    video_loss_record saved = zeroed<video_loss_record>();
    saved.channel = 3;
    saved.enable = 2;
    saved.email_enable = 2;
    saved.interval = 7;
    strcpy(saved.tri_chn_alarms[0], "1");
    strcpy(saved.tri_chn_alarms[1], "01");
    const std::string alarms = "[ \"1\", \"01\" ]";
    const std::string http = "\"url\": \"http:\\/\\/x\", \"username\": \"u\", \"password\": \"\"";
    const std::string no_http = "\"url\": \"\", \"username\": \"\", \"password\": \"\"";
    const std::string ptz = "[ { \"acto_ptz_channel\": 2, \"acto_ptz_type\": 1, \"acto_ptz_preset\": 0, \"acto_ptz_patrol\": 0 } ]";
    const std::string white = "[ { \"chnid\": 1, \"mode\": 2, \"time\": 3 } ]";
    run_exchanges(dev.root, fms, {
        {.request = page_post("/6095", R"({"chnid":3,"dialog":{"interval":7,"triChnAlarms":["1","01"],
             "whiteInfo":[[1,2,3]],"httpParams":{"url":"http://x","username":"u"},
             "ptzParams":[{"acto_ptz_channel":2,"acto_ptz_type":1}],"audible":[[["00:00","12:00",1]]]},
             "copyCnt":2,"copyChn":[3,5]})"),
         .sent = {notifies(VIDEO_LOSS_MASK_CHANGED, mask_bytes(bit(3) | bit(5)))},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) { return stored_video_loss(3); },
         .state = fms_record(saved)},
        {.request = page_post("/6094", R"({"chnid":5})"),
         .answer = videoloss_info(5, 2, 7, week(segment("00:00", "12:00", 1)), alarms, white, http, ptz)},
        {.request = page_post("/6094", R"({"chnid":4})"),
         .answer = videoloss_info(4, 0, 0, week(), "[ \"\", \"\" ]", "[ ]", no_http, "[ ]")},
        {.request = page_get("/6014", "3"),
         .answer = JSON + "{ \"camId\": 3, \"enable\": 2, \"triAlarms\": 0, \"interval\": 7 }"},
        // The settings page keeps the enable word; the schedule page sets it.
        {.request = page_post("/6016", R"({"camId":3,"enable":1,"triAlarms":4,"interval":9})"),
         .sent = {notifies(VIDEO_LOSS_CHANGED, ints({3})), logs(LOG_VIDEO_LOSS, 4)},
         .answer = TEXT + "OK"},
        {.request = page_get("/6014", "3"),
         .answer = JSON + "{ \"camId\": 3, \"enable\": 2, \"triAlarms\": 4, \"interval\": 9 }"},
        {.request = page_post("/6017", R"({"camId":3,"enable":1,"schedule":[[["03:00","04:00",1]]]})"),
         .sent = {notifies(VIDEO_LOSS_CHANGED, ints({3}))},
         .answer = TEXT + "OK"},
        {.request = page_get("/6015", "3"), .answer = JSON + week(segment("03:00", "04:00", 1))},
        {.request = page_post("/6017", R"({"camId":3})"),
         .sent = {notifies(VIDEO_LOSS_CHANGED, ints({3}))},
         .answer = TEXT + "OK"},
        {.request = page_get("/6015", "3"), .answer = JSON + week(segment("03:00", "04:00", 1))},
        {.request = page_get("/6014", "3"),
         .answer = JSON + "{ \"camId\": 3, \"enable\": 1, \"triAlarms\": 4, \"interval\": 9 }"},
    });
}

// A PTZ list goes under the page's channel and kind unless the dialog names others; a channel out of
// range stores nothing, and a dialog that changes nothing leaves the record unwritten.
TEST(VideoLossPages, DialogPtzListsAndBadRequests)
{
    const std::string list = R"("ptzParams":[{"acto_ptz_channel":4,"acto_ptz_preset":2}])";
    auto ptz_and_rows = [](int type, int chn) {
        return [type, chn](const test_root &root) {
            ptz_action_list ptz;
            read_ptz_params(VXDB_MAIN_DB, &ptz, type, chn);
            return std::to_string(ptz.entries[0].acto_ptz_channel) + " " + stored_rows(root);
        };
    };
    std::vector<exchange_row> rows = {
        {.request = page_post("/6095", R"({"chnid":9,"dialog":{)" + list + "}}"),
         .sent = {notifies(VIDEO_LOSS_MASK_CHANGED, mask_bytes(bit(9)))},
         .answer = TEXT + "OK",
         .read_state = ptz_and_rows(EVENT_KIND_VIDEO_LOSS, 9),
         .state = "4 1 0 0 0 0 1"},
        {.request = page_post("/6095", R"({"chnid":9,"dialog":{"ptzChnId":12,"ptzType":0,)" + list + "}}"),
         .sent = {notifies(VIDEO_LOSS_MASK_CHANGED, mask_bytes(bit(9)))},
         .answer = TEXT + "OK",
         .read_state = ptz_and_rows(EVENT_KIND_ALARM_IN, 12),
         .state = "4 1 0 0 0 0 1"},
        {.request = page_post("/6095", R"({"chnid":9,"dialog":{"ptzChnId":64,)" + list + "}}"),
         .sent = {notifies(VIDEO_LOSS_MASK_CHANGED, mask_bytes(bit(9)))},
         .answer = TEXT + "OK",
         .read_state = ptz_and_rows(EVENT_KIND_VIDEO_LOSS, 9),
         .state = "0 0 0 0 0 0 0"},
        {.request = page_post("/6095", R"({"chnid":9,"dialog":{"ptzType":30,)" + list + "}}"),
         .sent = {notifies(VIDEO_LOSS_MASK_CHANGED, mask_bytes(bit(9)))},
         .answer = TEXT + "OK",
         .read_state = stored_rows,
         .state = "0 0 0 0 0 0"},
    };
    for (const char *body : {R"({"chnid":64,"dialog":{"interval":1}})", R"({"dialog":{"interval":1}})", "nope",
                             R"({"chnid":1,"dialog":{"enable":3},"copyCnt":1,"copyChn":[2]})"})
        rows.push_back({.request = page_post("/6095", body), .answer = JSON_ERROR, .read_state = stored_rows,
                        .state = "0 0 0 0 0 0"});
    for (const char *body : {R"({"chnid":64})", "nope"})
        rows.push_back({.request = page_post("/6094", body), .answer = JSON_ERROR});
    run_exchanges(rows);
}

// The camera's answers: the channel from the reply, trigger texts of at most 64 characters, the
// leading and reserved words left out; without a whole reply the JSON error form. The setters store
// the event for the main service and send the camera its settings.
TEST(CameraEventPages, ReadAndStoreTheCameraEvents)
{
    cameraio_reply io = zeroed<cameraio_reply>();
    io.lead = 9;
    io.channel = 2;
    io.enable = 1;
    io.type = 3;
    io.tri_actions = 5;
    io.reserved = 7;
    memset(io.tri_channels, '1', sizeof io.tri_channels + sizeof io.tail);
    volumedetect_reply volume = zeroed<volumedetect_reply>();
    volume = {9, 4, 1, 2, 70, 8, 1, 2, 3, 6, 7, "0101", {}};
    const std::string ones(64, '1');
    const std::string io_bytes = fms_record(io);
    run_exchanges({
        {.request = page_get("/6090", "2"),
         .script = {replies(CAMERA_IO, io_bytes)},
         .sent = {asks(CAMERA_IO, ints({2}))},
         .answer = JSON + "{ \"camId\": 2, \"enable\": 1, \"type\": 3, \"triActions\": 5, \"triChannels\": \"" + ones +
                   "\" }"},
        {.request = page_get("/6090", "2", NO_REPLY_WAIT_MS), .sent = {asks(CAMERA_IO, ints({2}))}, .answer = JSON_ERROR},
        {.request = page_get("/6090", "2"),
         .script = {unusable_then_whole(CAMERA_IO, io_bytes.substr(0, 91), io_bytes)},
         .sent = {asks(CAMERA_IO, ints({2}))},
         .answer = JSON_ERROR},
        {.request = page_get("/6092", "4"),
         .script = {replies(VOLUME_DETECT, fms_record(volume))},
         .sent = {asks(VOLUME_DETECT, ints({4}))},
         .answer = JSON + "{ \"camId\": 4, \"enable\": 1, \"type\": 2, \"volume\": 70, \"duration\": 8, \"onEvent\": 1, "
                          "\"offEvent\": 2, \"ongoingEvent\": 3, \"triActions\": 6, \"triChannels\": \"0101\" }"},
        {.request = page_get("/6092", "4", NO_REPLY_WAIT_MS),
         .script = {replies(VOLUME_DETECT, fms_record(volume).substr(0, 111))},
         .sent = {asks(VOLUME_DETECT, ints({4}))},
         .answer = JSON_ERROR},
        {.request = page_post("/6091", R"({"camId":2,"enable":1,"type":3,"triActions":5,"triChannels":"0110"})"),
         .sent = {notifies(CAMERA_IO_SET, ints({2, 1, 3})), logs(LOG_CAMERA_IO, 3)},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) {
             camera_event_record record = zeroed<camera_event_record>();
             read_cameraio(VXDB_MAIN_DB, &record, 2);
             return fms_record(record);
         },
         .state = ints({2, 1}) + mask_bytes(bit(1) | bit(2)) + ints({5, 0})},
        {.request = page_post("/6093", R"({"camId":63,"enable":0,"type":3,"triActions":5,"triChannels":"1",
             "volume":7,"duration":8,"onEvent":1,"offEvent":2,"ongoingEvent":3})"),
         .sent = {notifies(VOLUME_DETECT_SET, ints({63, 0, 3, 7, 8, 1, 2, 3})), logs(LOG_VOLUME_DETECT, 64)},
         .answer = TEXT + "OK",
         .read_state = [](const test_root &) {
             camera_event_record record = zeroed<camera_event_record>();
             read_volumedetect(VXDB_MAIN_DB, &record, 63);
             return fms_record(record);
         },
         .state = ints({63, 0}) + mask_bytes(bit(0)) + ints({5, 0})},
    });
}

// Only the named kinds are listed; 8 to 12 action words are taken (missing ones 0), a mail interval
// or HTTP settings left out keep what is stored.
TEST(ExceptionPages, StoreAndReadTheActions)
{
    device_root dev;
    fake_main_service fms(dev.root);
    const std::map<std::string, std::string> disk_full = {
        {"diskFull", "\"url\": \"u1\", \"username\": \"n\", \"password\": \"p\""}};
    run_exchanges(dev.root, fms, {
        {.request = page_get("/6999"), .answer = exception_info({}, "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0", 0)},
        {.request = page_post("/6998", R"({"exception":[1,2,3,4,5,6,7,8],"recordFailedMailInterval":9,
             "httpParams":{"diskFull":{"url":"u1","username":"n","password":"p"},"overheat":{},"nothing":{"url":"z"}}})"),
         .sent = {notifies(EXCEPTION_ACTIONS_CHANGED), notifies(EXCEPTION_HTTP_CHANGED)},
         .answer = SUCCESS,
         .read_state = [](const test_root &) {
             http_notification_params records[EXCEPTION_KINDS];
             read_http_notification_params_batch(VXDB_MAIN_DB, records, EXCEPTION_KINDS, EXCEPT_HTTP_NOTIFICATION_PARAMS);
             std::string ids;
             for (const auto &record : records)
                 ids += std::to_string(record.chn_id) + " ";
             return ids;
         },
         .state = "0 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 11 -1 -1 "},
        {.request = page_get("/6999"), .answer = exception_info(disk_full, "1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0", 9)},
        {.request = page_post("/6998", R"({"exception":[1,2,3,4,5,6,7,8,9,10,11,12,13]})"),
         .sent = {notifies(EXCEPTION_ACTIONS_CHANGED)},
         .answer = SUCCESS},
        {.request = page_get("/6999"), .answer = exception_info(disk_full, "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12", 9)},
    });
}

TEST(VideoEventPages, RefuseInvalidRequests)
{
    run_refusals({
        gets("/6014", {"64", "-1", "x", ""}),
        gets("/6015", {"64", "-1"}),
        posts("/6016", {R"({"camId":1,"enable":3,"triAlarms":0,"interval":0})",
                        R"({"camId":64,"enable":1,"triAlarms":0,"interval":0})",
                        R"({"camId":1,"enable":1,"triAlarms":-1,"interval":0})", R"({"camId":1,"enable":1,"triAlarms":0})"}),
        posts("/6017", {R"({"camId":64,"schedule":[]})", "{}", R"({"camId":1,"enable":3})"}),
        gets("/6090", {"64", "x", ""}),
        gets("/6092", {"-1", "1.5"}),
        posts("/6091", {R"({"camId":1,"enable":2,"type":0,"triActions":0,"triChannels":"1"})",
                        R"({"camId":1,"enable":1,"type":0,"triActions":0})",
                        R"({"camId":1,"enable":1,"type":-1,"triActions":0,"triChannels":"1"})",
                        R"({"camId":64,"enable":1,"type":0,"triActions":0,"triChannels":"1"})"}),
        posts("/6093", {R"({"camId":1,"enable":1,"type":0,"triActions":0,"triChannels":"1","volume":-1,"duration":0,"onEvent":0,"offEvent":0,"ongoingEvent":0})",
                        R"({"camId":1,"enable":1,"type":0,"triActions":0,"triChannels":"1","volume":1,"duration":0,"onEvent":0,"offEvent":0})"}),
        posts("/6998", {R"({"exception":[1,2,3,4,5,6,7]})", R"({"exception":{"a":1}})",
                        R"({"exception":[1,2,3,4,5,6,7,"x"]})", "{}", "bad"}),
    }, stored_rows);
}

// With the session gate on, an account without the settings right reads every event page and the
// live map, and changes none.
TEST(VideoEventPages, ViewersReadButDoNotChange)
{
    device_root dev;
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "web_session_check", 1), 0);
    web_session viewer{};
    snprintf(viewer.id, sizeof viewer.id, "%s", "10000000000000000000000000000003");
    snprintf(viewer.name, sizeof viewer.name, "%s", "viewer");
    snprintf(viewer.address, sizeof viewer.address, "%s", "127.0.0.1");
    viewer.user_id = 1;
    viewer.type = 1;
    viewer.lifetime_s = WEB_SESSION_MAX_S;
    viewer.created = viewer.last_seen = time(nullptr);
    ASSERT_EQ(web_session_store(&viewer), 0);
    vxdb_close_all();
    fake_main_service fms(dev.root);
    const std::string forbidden = "Status: 403 Forbidden\r\nContent-type: text/plain\r\n\r\nFORBIDDEN";
    auto as_viewer = [](cgi_request request) {
        std::erase_if(request.env, [](const auto &v) { return v.first == "HTTP_COOKIE"; });
        request.env.emplace_back("HTTP_COOKIE", "sessionId=10000000000000000000000000000003; userName=viewer");
        return request;
    };
    for (const char *path : {"/6010", "/6094", "/6098", "/6999"}) {
        const cgi_result r = run_page(dev.root, as_viewer(page_post(path, R"({"chnid":64,"id":-1})", NO_REPLY_WAIT_MS)));
        EXPECT_EQ(r.out.find("403"), std::string::npos) << path;
    }
    for (const char *path : {"/6011", "/6014", "/6015", "/6090", "/6092"}) {
        const cgi_result r = run_page(dev.root, as_viewer(page_get(path, "64", NO_REPLY_WAIT_MS)));
        EXPECT_EQ(r.out, "") << path;
    }
    for (const char *path : {"/6012", "/6013", "/6016", "/6017", "/6091", "/6093", "/6095", "/6112", "/6113", "/6114",
                             "/6998"}) {
        const cgi_result r = run_cgi(dev.root, as_viewer(page_post(path, R"({"chnid":1,"camId":1})", NO_REPLY_WAIT_MS)));
        EXPECT_EQ(r.out, forbidden) << path;
    }
    fms.wait_idle();
    EXPECT_TRUE(fms.requests().empty());
}
