// Per-event action settings: the two element forms of the white-LED and warning-light lists, the
// PTZ list and its cuts, HTTP settings and the alarm-output pair, in and out of the database.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_json.h"
#include "support/db_lock.h"
#include "support/device_root.h"
#include "vxdb/vxdb.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// `element` n times as a JSON array, with n = 0, 1, ... put in for every "#".
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

struct wled {
    int chnid, mode, time;
};

// A block as the reader must leave it: the entries given, named after the channel, the rest unused.
template <typename Block>
Block block_of(int chn, const std::vector<wled> &entries)
{
    Block block{};
    for (auto &entry : block.entries)
        entry.chn_id = ACTION_ENTRY_UNUSED;
    for (size_t i = 0; i < entries.size(); ++i) {
        block.entries[i].chn_id = chn;
        block.entries[i].chnid = entries[i].chnid;
        block.entries[i].time = entries[i].time;
        if constexpr (std::is_same_v<Block, whiteled_params_block>)
            block.entries[i].mode = entries[i].mode;
    }
    return block;
}

std::vector<wled> sixteen()
{
    std::vector<wled> out;
    for (int i = 1; i <= 16; ++i)
        out.push_back({i, i, i});
    return out;
}
}  // namespace

// Both element forms, told apart by "chnid" anywhere in the array's text; at most 16 elements, up to
// the first missing one; any channel 0..63 (the table holds 64 blocks). A refused request leaves the
// caller's table as it was.
TEST(ActionLists, WhiteLedListInBothFormsIntoItsBlock)
{
    const struct {
        const char *what;
        std::string body;
        int chn;
        int rc;
        std::vector<wled> entries;
    } rows[] = {
        {"objects", R"({"w":[{"chnid":3,"mode":1,"time":10},{"time":5,"chnid":"4"}]})", 20, 0, {{3, 1, 10}, {4, 0, 5}}},
        {"arrays", R"({"w":[[3,1,10],[4]]})", 63, 0, {{3, 1, 10}, {4, 0, 0}}},
        {"twenty arrays, sixteen kept", R"({"w":)" + numbered("[#,#,#]", 20) + "}", 0, 0, sixteen()},
        {"twenty objects, sixteen kept", R"({"w":)" + numbered(R"({"chnid":#,"mode":#,"time":#})", 20) + "}", 5, 0,
         sixteen()},
        {"up to the first missing element", R"({"w":[[1,1,1],null,[2,2,2]]})", 1, 0, {{1, 1, 1}}},
        {"an object in an array list ends it", R"({"w":[[1,1,1],{"mode":2},[2,2,2]]})", 1, 0, {{1, 1, 1}}},
        {"mixed list read as objects", R"({"w":[{"chnid":1},[2,2,2]]})", 2, 0, {{1, 0, 0}}},
        {"chnid in a text makes it objects", R"({"w":[[1,2,3],"chnid"]})", 2, 0, {}},
        {"empty list", R"({"w":[]})", 7, 0, {}},
        {"channel 64", R"({"w":[[1,1,1]]})", 64, -1, {}},
        {"channel -1", R"({"w":[[1,1,1]]})", -1, -1, {}},
        {"member absent", R"({"x":[[1,1,1]]})", 1, -1, {}},
        {"member null", R"({"w":null})", 1, -1, {}},
        {"member an object", R"({"w":{"chnid":1}})", 1, -1, {}},
        {"value no integer (object)", R"({"w":[{"chnid":"x"}]})", 1, -1, {}},
        {"value no integer (array)", R"({"w":[[1,"y",2]]})", 1, -1, {}},
        {"value beyond 32 bits", R"({"w":[[1,2,4294967296]]})", 1, -1, {}},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        auto table = std::make_unique<whiteled_params_table>();
        memset(table.get(), 0x5a, sizeof *table);
        auto expected = std::make_unique<whiteled_params_table>(*table);
        if (row.rc == 0) {
            memset(expected.get(), 0, sizeof *expected);
            expected->blocks[row.chn] = block_of<whiteled_params_block>(row.chn, row.entries);
        }
        EXPECT_EQ(get_white_params_by_json(row.chn, table.get(), request.get(), "w"), row.rc) << row.what;
        EXPECT_EQ(memcmp(table.get(), expected.get(), sizeof *table), 0) << row.what;

        // The people-counting list: the same reading into one block.
        whiteled_params_block list;
        memset(&list, 0x5a, sizeof list);
        whiteled_params_block list_expected = list;
        if (row.rc == 0)
            list_expected = block_of<whiteled_params_block>(row.chn, row.entries);
        EXPECT_EQ(get_pcnt_white_params_by_json(row.chn, &list, request.get(), "w"), row.rc) << row.what;
        EXPECT_EQ(memcmp(&list, &list_expected, sizeof list), 0) << row.what;
    }
    json_ptr request = parse(R"({"w":[]})");
    EXPECT_EQ(get_white_params_by_json(0, nullptr, request.get(), "w"), -1);
    EXPECT_EQ(get_pcnt_white_params_by_json(0, nullptr, request.get(), "w"), -1);
}

// chnid goes to the second word, time to the fifth; the reserved words stay zero.
TEST(ActionLists, WarningLightListInBothForms)
{
    const struct {
        std::string body;
        int chn;
        int rc;
        std::vector<wled> entries;
    } rows[] = {
        {R"({"l":[{"chnid":2,"time":30},{"time":7}]})", 40, 0, {{2, 0, 30}, {0, 0, 7}}},
        {R"({"l":[[2,30],[9]]})", 15, 0, {{2, 0, 30}, {9, 0, 0}}},
        {R"({"l":)" + numbered("[#,#]", 17) + "}", 63, 0, sixteen()},
        {R"({"l":[[2,30]]})", 64, -1, {}},
        {R"({"l":[["a",30]]})", 1, -1, {}},
        {R"({"k":[[2,30]]})", 1, -1, {}},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        auto table = std::make_unique<warning_light_params_table>();
        memset(table.get(), 0x5a, sizeof *table);
        auto expected = std::make_unique<warning_light_params_table>(*table);
        if (row.rc == 0) {
            memset(expected.get(), 0, sizeof *expected);
            expected->blocks[row.chn] = block_of<warning_light_params_block>(row.chn, row.entries);
        }
        EXPECT_EQ(get_warning_light_params_by_json(row.chn, table.get(), request.get(), "l"), row.rc) << row.body;
        EXPECT_EQ(memcmp(table.get(), expected.get(), sizeof *table), 0) << row.body;
    }
}

// A list read back gives exactly the entries its request gave: not 16 rows of zeros, none for a
// list never stored, and each table keeps its own lists.
TEST(ActionLists, StoredListsReadBackAsTheyWereGiven)
{
    device_root db;
    auto white = std::make_unique<whiteled_params_table>();
    auto light = std::make_unique<warning_light_params_table>();
    json_ptr request = parse(R"({"w":[[3,1,10],[0,0,0]],"l":[{"chnid":4,"time":9}],"e":[]})");
    ASSERT_EQ(get_white_params_by_json(0, white.get(), request.get(), "w"), 0);
    ASSERT_EQ(write_whiteled_params_all(VXDB_MAIN_DB, &white->blocks[0], MOTION_WHITE_LED_PARAMS, 0), 0);
    ASSERT_EQ(get_white_params_by_json(33, white.get(), request.get(), "e"), 0);
    ASSERT_EQ(write_whiteled_params_all(VXDB_MAIN_DB, &white->blocks[33], MOTION_WHITE_LED_PARAMS, 33), 0);
    ASSERT_EQ(get_warning_light_params_by_json(17, light.get(), request.get(), "l"), 0);
    ASSERT_EQ(write_warning_light_params_all(VXDB_MAIN_DB, &light->blocks[17], VIDEO_LOSS_WARNING_LIGHT_PARAMS, 17), 0);
    whiteled_params_block counting{};
    ASSERT_EQ(get_pcnt_white_params_by_json(9, &counting, request.get(), "w"), 0);
    ASSERT_EQ(write_peoplecnt_wled_params(VXDB_MAIN_DB, &counting, 9), 0);

    const struct {
        json_object *answer;
        std::string text;
    } rows[] = {
        {get_white_params_json_object(0, MOTION_WHITE_LED_PARAMS),
         R"([{"chnid":3,"mode":1,"time":10},{"chnid":0,"mode":0,"time":0}])"},
        {get_white_params_json_object(33, MOTION_WHITE_LED_PARAMS), "[]"},
        {get_white_params_json_object(1, MOTION_WHITE_LED_PARAMS), "[]"},
        {get_white_params_json_object(0, VIDEO_LOSS_WHITE_LED_PARAMS), "[]"},
        {get_white_params_json_object(64, MOTION_WHITE_LED_PARAMS), "[]"},
        {get_warning_light_params_json_object(17, VIDEO_LOSS_WARNING_LIGHT_PARAMS), R"([{"chnid":4,"time":9}])"},
        {get_warning_light_params_json_object(17, MOTION_WARNING_LIGHT_PARAMS), "[]"},
        {get_pcnt_white_params_json_object(9), R"([{"chnid":3,"mode":1,"time":10},{"chnid":0,"mode":0,"time":0}])"},
        {get_pcnt_white_params_json_object(8), "[]"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(text_of(row.answer), row.text);
        json_object_put(row.answer);
    }
}

// 64 entries at most (people counting 16), each naming the event channel; entries without a PTZ
// channel are stored but not reported, nor is the pattern.
TEST(PtzLists, ConvertedCutStoredAndReported)
{
    const struct {
        const char *what;
        std::string body;
        int chn, type;
        int rc;
        int entries;  // elements taken
    } rows[] = {
        {"seventy elements", numbered(R"({"acto_ptz_channel":#,"acto_ptz_pattern":#})", 70), 63, 1, 0, 64},
        {"people counting keeps sixteen", numbered(R"({"acto_ptz_channel":#})", 20), 5, 20, 0, 16},
        {"channel 64", "[{}]", 64, 1, -1, 0},
        {"channel -1", "[{}]", -1, 1, -1, 0},
        {"kind 30", "[{}]", 0, 30, -1, 0},
        {"kind -1", "[{}]", 0, -1, -1, 0},
        {"not an array", R"({"acto_ptz_channel":1})", 0, 1, -1, 0},
        {"value no integer", R"([{"acto_ptz_preset":"x"}])", 0, 1, -1, 0},
        {"elements of other types are empty entries", R"([null,3,{"acto_ptz_channel":2}])", 7, 2, 0, 3},
    };
    for (const auto &row : rows) {
        json_ptr array = parse(row.body);
        ptz_action_list list;
        memset(&list, 0x5a, sizeof list);
        const ptz_action_list untouched = list;
        EXPECT_EQ(get_ptz_params_by_json(row.chn, row.type, array.get(), &list), row.rc) << row.what;
        if (row.rc != 0) {
            EXPECT_EQ(memcmp(&list, &untouched, sizeof list), 0) << row.what;
            continue;
        }
        for (int i = 0; i < PTZ_LIST_ENTRIES; ++i) {
            const ptz_action_entry &e = list.entries[i];
            EXPECT_EQ(e.chn_id, i < row.entries ? row.chn : 0) << row.what << " " << i;
            // Numbered lists carry channel i + 1 in element i; the last row only its third.
            const int channel = row.type == 2 ? (i == 2 ? 2 : 0) : i < row.entries ? i + 1 : 0;
            EXPECT_EQ(e.acto_ptz_channel, channel) << row.what << " " << i;
        }
    }
    ptz_action_list list;
    json_ptr array = parse(R"([{"acto_ptz_channel":1}])");
    EXPECT_EQ(get_ptz_params_by_json(0, 1, nullptr, &list), -1);
    EXPECT_EQ(get_ptz_params_by_json(0, 1, array.get(), nullptr), -1);
}

TEST(PtzLists, StoredPerKindAndChannelAndReportedWithoutEmptyEntries)
{
    device_root db;
    json_ptr motion = parse(R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0,
                                 "acto_ptz_pattern":9},{"acto_ptz_channel":0,"acto_ptz_preset":3},
                                {"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_patrol":4}])");
    json_ptr loss = parse(R"([{"acto_ptz_channel":8}])");
    json_ptr counting = parse(numbered(R"({"acto_ptz_channel":#})", 18));
    EXPECT_EQ(set_ptz_params_by_json(40, EVENT_KIND_MOTION, motion.get()), 1);
    EXPECT_EQ(set_ptz_params_by_json(40, EVENT_KIND_VIDEO_LOSS, loss.get()), 1);
    EXPECT_EQ(set_ptz_params_by_json(41, EVENT_KIND_CAMERA_ALARM_IN_BASE + 3, loss.get()), 1);
    EXPECT_EQ(set_ptz_params_by_json(3, EVENT_KIND_PEOPLE_COUNTING, counting.get()), 1);
    EXPECT_EQ(set_ptz_params_by_json(64, EVENT_KIND_MOTION, loss.get()), 0);
    EXPECT_EQ(set_ptz_params_by_json(1, EVENT_KIND_COUNT, loss.get()), 0);
    EXPECT_EQ(set_ptz_params_by_json(1, EVENT_KIND_MOTION, nullptr), 0);

    const struct {
        int type, chn;
        std::string text;
    } rows[] = {
        {1, 40, R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0},)"
                R"({"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_preset":0,"acto_ptz_patrol":4}])"},
        {2, 40, R"([{"acto_ptz_channel":8,"acto_ptz_type":0,"acto_ptz_preset":0,"acto_ptz_patrol":0}])"},
        {29, 41, R"([{"acto_ptz_channel":8,"acto_ptz_type":0,"acto_ptz_preset":0,"acto_ptz_patrol":0}])"},
        {1, 41, "[]"},
        {2, 1, "[]"},   // the refused stores wrote nothing
        {1, 1, "[]"},
        {20, 4, "[]"},
        {1, 64, "[]"},
        {30, 1, "[]"},
    };
    for (const auto &row : rows) {
        json_ptr answer(get_ptz_params_json_object(row.type, row.chn));
        EXPECT_EQ(text_of(answer.get()), row.text) << row.type << "/" << row.chn;
    }
    json_ptr people(get_ptz_params_json_object(EVENT_KIND_PEOPLE_COUNTING, 3));
    EXPECT_EQ(json_object_array_length(people.get()), 16u);
    ptz_action_list list;
    EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &list, EVENT_KIND_PEOPLE_COUNTING, 3), 1);  // its own table
    ASSERT_EQ(read_ptz_params(VXDB_MAIN_DB, &list, 1, 40), 0);
    EXPECT_EQ(list.entries[0].acto_ptz_pattern, 9);
    EXPECT_EQ(list.entries[1].acto_ptz_preset, 3);
    EXPECT_EQ(list.entries[63].chn_id, 40);
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
        {"all three", R"({"h":{"url":"http://a/b","username":"op","password":"pw"}})", 5, 0, "http://a/b", "op", "pw"},
        {"cut to 512, 96, 64",
         R"({"h":{"url":")" + url + R"(","username":")" + user + R"(","password":")" + pass + R"("}})", 63, 0,
         url.substr(0, 512), user.substr(0, 96), pass.substr(0, 64)},
        {"absent and null texts are empty", R"({"h":{"url":null,"password":"x"}})", 0, 0, "", "", "x"},
        {"member absent", R"({"g":{}})", 0, -1, "", "", ""},
        {"member null", R"({"h":null})", 0, -1, "", "", ""},
        {"member an array", R"({"h":["u"]})", 0, -1, "", "", ""},
        {"channel 64", R"({"h":{}})", 64, -1, "", "", ""},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        http_notification_params record;
        memset(&record, 0x5a, sizeof record);
        const http_notification_params untouched = record;
        EXPECT_EQ(get_http_params_by_json(row.chn, &record, request.get(), "h"), row.rc) << row.what;
        if (row.rc != 0) {
            EXPECT_EQ(memcmp(&record, &untouched, sizeof record), 0) << row.what;
            continue;
        }
        http_notification_params expected{};
        expected.chn_id = row.chn;
        memcpy(expected.url, row.url.data(), row.url.size());
        memcpy(expected.username, row.user.data(), row.user.size());
        memcpy(expected.password, row.pass.data(), row.pass.size());
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
        int rc;
        std::string first, second;  // "-" for an entry left as it was
    } rows[] = {
        {R"({"t":["101","010"]})", 0, "101", "010"},
        {R"({"t":["11"]})", 0, "11", "-"},
        {R"({"t":[null,"1"]})", 0, "-", "1"},
        {R"({"t":[")" + long_text + R"(","","x"]})", 0, long_text.substr(0, 64), ""},
        {R"({"t":"11"})", -1, "-", "-"},
        {R"({"u":["11"]})", -1, "-", "-"},
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
            expected[i].chn_id = 9;
            expected[i].index = i;
            memcpy(expected[i].value, texts[i].data(), texts[i].size());
        }
        EXPECT_EQ(get_event_chn_alarmout_by_object(9, request.get(), "t", pair), row.rc) << row.body;
        EXPECT_EQ(memcmp(pair, expected, sizeof pair), 0) << row.body;
    }
    char full[ALARMOUT_TEXT];
    memset(full, '1', sizeof full);  // no terminator
    json_ptr pair(get_event_chn_alarmout_object(full, nullptr));
    EXPECT_EQ(text_of(pair.get()), R"([")" + std::string(64, '1') + R"(",""])");
}

// A file that cannot be read is no empty list: the builders give nothing, so the page answers its
// error form.
TEST(ActionLists, UnreadableDatabaseGivesNoAnswer)
{
    device_root db;
    whiteled_params_block block{};
    ASSERT_EQ(write_whiteled_params_all(VXDB_MAIN_DB, &block, MOTION_WHITE_LED_PARAMS, 0), 0);
    vxdb_close_all();
    vxdb_set_busy_timeout_ms(50);
    {
        lock_holder holder(db.file(VXDB_MAIN_DB));
        EXPECT_EQ(get_white_params_json_object(0, MOTION_WHITE_LED_PARAMS), nullptr);
        EXPECT_EQ(get_warning_light_params_json_object(0, MOTION_WARNING_LIGHT_PARAMS), nullptr);
        EXPECT_EQ(get_pcnt_white_params_json_object(0), nullptr);
        EXPECT_EQ(get_http_params_json_object(0, MOTION_HTTP_NOTIFICATION_PARAMS), nullptr);
        EXPECT_EQ(get_ptz_params_json_object(1, 0), nullptr);
        EXPECT_EQ(get_ptz_params_json_object(EVENT_KIND_PEOPLE_COUNTING, 0), nullptr);
    }
    vxdb_set_busy_timeout_ms(0);
    vxdb_close_all();
}
