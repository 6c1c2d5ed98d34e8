// Per-event action settings from the browser's JSON to the database and back: the two element forms
// of the white-LED and warning-light lists, the PTZ list and its cuts, HTTP settings and the
// alarm-output pair.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_json.h"
#include "support/device_root.h"
#include "vxdb/vxdb.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {
std::string text_of(json_object *object)
{
    return object ? json_object_to_json_string_ext(object, JSON_C_TO_STRING_PLAIN) : "(null)";
}

json_ptr parse(const std::string &body)
{
    json_ptr request(get_request_tokener_json_object(body.c_str()));
    EXPECT_TRUE(request) << body;
    return request;
}

// `element` n times as a JSON array, with 1, 2, ... put in for every "#".
std::string numbered(const std::string &element, int n)
{
    std::string out = "[";
    for (int i = 0; i < n; ++i) {
        std::string e = element;
        for (size_t at = e.find('#'); at != std::string::npos; at = e.find('#'))
            e.replace(at, 1, std::to_string(i + 1));
        out += (i ? "," : "") + e;
    }
    return out + "]";
}

const std::string REFUSED = "refused";
}  // namespace

// Both element forms, told apart by "chnid" anywhere in the array's text; at most 16 elements, up to
// the first missing one; any channel 0..63. What is stored reads back as exactly the entries given;
// a refused request leaves the caller's records as they were.
TEST(ActionLists, WhiteLedListsStoredAndReadBack)
{
    device_root db;
    const struct {
        const char *what;
        std::string list;
        int chn;
        std::string answer;
    } rows[] = {
        {"objects", R"([{"chnid":3,"mode":1,"time":10},{"time":5,"chnid":"4"}])", 20,
         R"([{"chnid":3,"mode":1,"time":10},{"chnid":4,"mode":0,"time":5}])"},
        {"arrays, a zero entry kept", "[[3,1,10],[0]]", 63, R"([{"chnid":3,"mode":1,"time":10},{"chnid":0,"mode":0,"time":0}])"},
        {"twenty elements, sixteen kept", numbered("[#,#,#]", 20), 0, numbered(R"({"chnid":#,"mode":#,"time":#})", 16)},
        {"up to the first missing element", "[[1,1,1],null,[2,2,2]]", 1, R"([{"chnid":1,"mode":1,"time":1}])"},
        {"chnid in a text makes it objects", R"([[1,2,3],"chnid"])", 2, "[]"},
        {"channel 64", "[[1,1,1]]", 64, REFUSED},
        {"channel -1", "[[1,1,1]]", -1, REFUSED},
        {"member null", "null", 1, REFUSED},
        {"value no integer", R"([[1,"y",2]])", 1, REFUSED},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(R"({"w":)" + row.list + "}");
        auto table = std::make_unique<whiteled_params_table>();
        memset(table.get(), 0x5a, sizeof *table);
        const auto before = std::make_unique<whiteled_params_table>(*table);
        whiteled_params_block counting;  // the people-counting list: the same reading into one block
        memset(&counting, 0x5a, sizeof counting);
        const int rc = get_white_params_by_json(row.chn, table.get(), request.get(), "w");
        EXPECT_EQ(get_pcnt_white_params_by_json(row.chn, &counting, request.get(), "w"), rc) << row.what;
        if (row.answer == REFUSED) {
            EXPECT_EQ(rc, -1) << row.what;
            EXPECT_EQ(memcmp(table.get(), before.get(), sizeof *table), 0) << row.what;
            EXPECT_EQ(memcmp(&counting, &before->blocks[0], sizeof counting), 0) << row.what;
            continue;
        }
        ASSERT_EQ(rc, 0) << row.what;
        EXPECT_EQ(memcmp(&counting, &table->blocks[row.chn], sizeof counting), 0) << row.what;
        ASSERT_EQ(write_whiteled_params_all(VXDB_MAIN_DB, &table->blocks[row.chn], MOTION_WHITE_LED_PARAMS, row.chn), 0);
        ASSERT_EQ(write_peoplecnt_wled_params(VXDB_MAIN_DB, &counting, row.chn), 0);
        json_ptr answer(get_white_params_json_object(row.chn, MOTION_WHITE_LED_PARAMS));
        json_ptr counted(get_pcnt_white_params_json_object(row.chn));
        EXPECT_EQ(text_of(answer.get()), row.answer) << row.what;
        EXPECT_EQ(text_of(counted.get()), row.answer) << row.what;
    }
    // Each table keeps its own lists; a list never stored, or of no channel, is empty.
    for (json_object *empty : {get_white_params_json_object(20, VIDEO_LOSS_WHITE_LED_PARAMS),
                               get_white_params_json_object(5, MOTION_WHITE_LED_PARAMS),
                               get_white_params_json_object(64, MOTION_WHITE_LED_PARAMS)}) {
        EXPECT_EQ(text_of(empty), "[]");
        json_object_put(empty);
    }
    // Warning lights: [chnid, time] or {"chnid", "time"}.
    auto light = std::make_unique<warning_light_params_table>();
    json_ptr request = parse(R"({"a":[[2,30],[9]],"o":[{"chnid":2,"time":30},{"time":7}]})");
    for (const char *form : {"a", "o"}) {
        ASSERT_EQ(get_warning_light_params_by_json(63, light.get(), request.get(), form), 0);
        ASSERT_EQ(write_warning_light_params_all(VXDB_MAIN_DB, &light->blocks[63], MOTION_WARNING_LIGHT_PARAMS, 63), 0);
        json_ptr answer(get_warning_light_params_json_object(63, MOTION_WARNING_LIGHT_PARAMS));
        EXPECT_EQ(text_of(answer.get()), form[0] == 'a' ? R"([{"chnid":2,"time":30},{"chnid":9,"time":0}])"
                                                        : R"([{"chnid":2,"time":30},{"chnid":0,"time":7}])");
    }
}

// 64 entries at most (people counting: 16, in a table of its own), stored per kind and channel with
// every entry naming the channel; reported without the entries that move no camera, nor the pattern.
TEST(PtzLists, StoredPerKindAndChannelAndCut)
{
    device_root db;
    const struct {
        const char *what;
        std::string list;
        int chn, type;
        int reported;  // entries the answer lists; -1: refused, nothing stored
    } rows[] = {
        {"seventy elements", numbered(R"({"acto_ptz_channel":#})", 70), 63, EVENT_KIND_CAMERA_ALARM_IN_BASE + 3, 64},
        {"people counting keeps sixteen", numbered(R"({"acto_ptz_channel":#})", 20), 5, EVENT_KIND_PEOPLE_COUNTING, 16},
        {"elements of other types are empty", R"([null,3,{"acto_ptz_channel":2}])", 7, EVENT_KIND_VIDEO_LOSS, 1},
        {"channel 64", R"([{"acto_ptz_channel":1}])", 64, EVENT_KIND_MOTION, -1},
        {"kind 30", R"([{"acto_ptz_channel":1}])", 0, EVENT_KIND_COUNT, -1},
        {"not an array", R"({"acto_ptz_channel":1})", 0, EVENT_KIND_MOTION, -1},
        {"value no integer", R"([{"acto_ptz_channel":1,"acto_ptz_preset":"x"}])", 0, EVENT_KIND_MOTION, -1},
    };
    for (const auto &row : rows) {
        json_ptr list = parse(row.list);
        EXPECT_EQ(set_ptz_params_by_json(row.chn, row.type, list.get()), row.reported >= 0 ? 1 : 0) << row.what;
        json_ptr answer(get_ptz_params_json_object(row.type, row.chn));
        EXPECT_EQ(json_object_array_length(answer.get()), static_cast<size_t>(row.reported >= 0 ? row.reported : 0))
            << row.what;
    }
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, ptz_params_kind), 2) << "nothing of the refused lists stored";
    ptz_action_list stored;
    EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_PEOPLE_COUNTING, 5), 1);
    EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_CAMERA_ALARM_IN_BASE + 2, 63), 1);

    json_ptr motion = parse(R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0,
                                 "acto_ptz_pattern":9},{"acto_ptz_channel":0,"acto_ptz_preset":3},
                                {"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_patrol":4}])");
    ASSERT_EQ(set_ptz_params_by_json(40, EVENT_KIND_MOTION, motion.get()), 1);
    json_ptr answer(get_ptz_params_json_object(EVENT_KIND_MOTION, 40));
    EXPECT_EQ(text_of(answer.get()), R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0},)"
                                     R"({"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_preset":0,"acto_ptz_patrol":4}])");
    ASSERT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_MOTION, 40), 0);
    EXPECT_EQ(stored.entries[0].acto_ptz_pattern, 9);
    EXPECT_EQ(stored.entries[1].acto_ptz_preset, 3);
    EXPECT_EQ(stored.entries[63].chn_id, 40);
}

TEST(HttpParams, TextsCutToTheirFieldsAndReadBack)
{
    const std::string url(600, 'u'), user(100, 'n'), pass(70, 'p');
    const struct {
        const char *what;
        std::string body;
        int chn;
        int rc;
        std::string url, user, pass;
    } rows[] = {
        {"cut to 512, 96, 64",
         R"({"h":{"url":")" + url + R"(","username":")" + user + R"(","password":")" + pass + R"("}})", 63, 0,
         url.substr(0, 512), user.substr(0, 96), pass.substr(0, 64)},
        {"absent and null texts are empty", R"({"h":{"url":null,"password":"x"}})", 0, 0, "", "", "x"},
        {"member an array", R"({"h":["u"]})", 0, -1, "", "", ""},
        {"channel 64", R"({"h":{}})", 64, -1, "", "", ""},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        http_notification_params record;
        memset(&record, 0x5a, sizeof record);
        http_notification_params expected = record;
        if (row.rc == 0) {
            expected = http_notification_params{};
            expected.chn_id = row.chn;
            memcpy(expected.url, row.url.data(), row.url.size());
            memcpy(expected.username, row.user.data(), row.user.size());
            memcpy(expected.password, row.pass.data(), row.pass.size());
        }
        EXPECT_EQ(get_http_params_by_json(row.chn, &record, request.get(), "h"), row.rc) << row.what;
        EXPECT_EQ(memcmp(&record, &expected, sizeof record), 0) << row.what;
    }

    device_root db;
    json_ptr request = parse(R"({"h":{"url":"http://a/b","username":"op","password":"pw"}})");
    http_notification_params record{};
    ASSERT_EQ(get_http_params_by_json(12, &record, request.get(), "h"), 0);
    ASSERT_EQ(write_http_notification_params(VXDB_MAIN_DB, &record, MOTION_HTTP_NOTIFICATION_PARAMS, 12), 0);
    json_ptr stored(get_http_params_json_object(12, MOTION_HTTP_NOTIFICATION_PARAMS));
    EXPECT_EQ(text_of(stored.get()), R"({"chnId":12,"url":"http:\/\/a\/b","username":"op","password":"pw"})");
    json_ptr missing(get_http_params_json_object(13, MOTION_HTTP_NOTIFICATION_PARAMS));
    EXPECT_EQ(text_of(missing.get()), R"({"chnId":13,"url":"","username":"","password":""})");
}

TEST(AlarmOutPair, TwoTextsInAndOut)
{
    const std::string long_text(70, '1');
    const struct {
        std::string body;
        int chn, rc;
        std::string first, second;  // "-" for an entry left as it was
    } rows[] = {
        {R"({"t":[")" + long_text + R"(","","x"]})", 63, 0, long_text.substr(0, 64), ""},
        {R"({"t":[null,"1"]})", 0, 0, "-", "1"},
        {R"({"t":"11"})", 0, -1, "-", "-"},
        {R"({"t":["11"]})", 64, -1, "-", "-"},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        chn_alarmout_entry pair[2];
        memset(pair, 0x5a, sizeof pair);
        chn_alarmout_entry expected[2];
        memcpy(expected, pair, sizeof pair);
        const std::string texts[2] = {row.first, row.second};
        for (int i = 0; i < 2; ++i) {
            if (texts[i] == "-")
                continue;
            expected[i] = chn_alarmout_entry{};
            expected[i].chn_id = row.chn;
            expected[i].index = i;
            memcpy(expected[i].value, texts[i].data(), texts[i].size());
        }
        EXPECT_EQ(get_event_chn_alarmout_by_object(row.chn, request.get(), "t", pair), row.rc) << row.body;
        EXPECT_EQ(memcmp(pair, expected, sizeof pair), 0) << row.body;
    }
    char full[ALARMOUT_TEXT];
    memset(full, '1', sizeof full);  // no terminator
    json_ptr pair(get_event_chn_alarmout_object(full, nullptr));
    EXPECT_EQ(text_of(pair.get()), R"([")" + std::string(64, '1') + R"(",""])");
}
