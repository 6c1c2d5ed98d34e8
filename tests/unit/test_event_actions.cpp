// Event requests and answers: week schedules, white-LED and warning-light lists, PTZ lists, HTTP
// settings and the alarm-output pair (stored and read back where a page stores them), the copy mask,
// query sections and the fixed numbering tables.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/event_request.h"
#include "link/event_schedule.h"
#include "link/web_json.h"
#include "support/device_root.h"
#include "vxdb/vxdb.h"
#include "vxrt/vx_exception.h"

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

// n elements, element i (1, 2, ...) being `before` + i + `after`, as a JSON array.
std::string numbered(const std::string &before, const std::string &after, int n)
{
    std::string out = "[";
    for (int i = 1; i <= n; ++i)
        out += (i > 1 ? "," : "") + before + std::to_string(i) + after;
    return out + "]";
}

// A segment the reader must have filled; every other byte of the schedule must be zero.
struct cell {
    int day, segment;
    std::string start, end;
    int action;
};

std::unique_ptr<event_schedule> schedule_of(const std::vector<cell> &cells, bool camera)
{
    auto s = std::make_unique<event_schedule>();
    for (const cell &c : cells) {
        schedule_item &item = s->days[c.day].items[c.segment];
        memcpy(item.start_time, c.start.data(), c.start.size());
        memcpy(item.end_time, c.end.data(), c.end.size());
        item.action_type = c.action;
    }
    for (int d = 0; camera && d < SCHEDULE_IPC_DAYS; ++d)
        s->days[d].valid = 1;
    return s;
}

const std::string REFUSED = "refused";
const std::string long_text(70, 't');
}  // namespace

TEST(ScheduleJson, AnswersTwelveSegmentsOfEightDaysWithNamedMembers)
{
    auto s = std::make_unique<event_schedule>();
    strcpy(s->days[0].items[0].start_time, "08:00");
    s->days[0].items[0].action_type = 3;
    strcpy(s->days[0].items[12].start_time, "13:00");            // past what the pages see
    memset(s->days[7].items[11].start_time, 'x', SCHEDULE_TEXT);  // no terminator in the field
    s->days[2].valid = 1;
    strcpy(s->days[2].items[1].end_time, "23:59");
    json_ptr plain(get_schedule_json_object(s.get()));
    json_ptr ex(get_schedule_json_object_ex(s.get()));
    json_ptr camera(get_schedule_json_object_ipc(s.get()));
    for (json_object *week : {plain.get(), camera.get()}) {
        ASSERT_EQ(json_object_array_length(week), 8u);
        for (size_t d = 0; d < 8; ++d)
            EXPECT_EQ(json_object_array_length(json_object_array_get_idx(week, d)), 12u);
    }
    EXPECT_EQ(text_of(ex.get()), text_of(plain.get()));
    auto segment = [](json_object *week, size_t d, size_t i) {
        return text_of(json_object_array_get_idx(json_object_array_get_idx(week, d), i));
    };
    EXPECT_EQ(segment(plain.get(), 0, 0), R"({"startTime":"08:00","endTime":"","actionType":3})");
    EXPECT_EQ(segment(plain.get(), 7, 11),
              R"({"startTime":")" + std::string(31, 'x') + R"(","endTime":"","actionType":0})");
    // The camera form: no action, and only days marked valid show their texts.
    EXPECT_EQ(segment(camera.get(), 0, 0), R"({"startTime":"","endTime":""})");
    EXPECT_EQ(segment(camera.get(), 2, 1), R"({"startTime":"","endTime":"23:59"})");
    EXPECT_EQ(get_schedule_json_object(nullptr), nullptr);
}

// Requests carry positional arrays. Whatever the browser leaves out reads as an empty segment, what
// it adds beyond the shape is ignored; a member that is no array, or an action that is no integer,
// leaves the schedule exactly as it was.
TEST(ScheduleJson, RequestArraysIntoTheRecord)
{
    const struct { const char *what; std::string body; bool camera; int rc; std::vector<cell> cells; } rows[] = {
        {"texts cut to 31", R"({"s":[[[")" + long_text + R"(",")" + long_text + R"(",1]]]})", false, 0,
         {{0, 0, long_text.substr(0, 31), long_text.substr(0, 31), 1}}},
        {"last day and segment kept, a ninth day and a thirteenth segment ignored",
         R"({"s":[[],[],[],[],[],[],[],[[],[],[],[],[],[],[],[],[],[],[],["a","b",5],["x"]],[["y"]]]})", false, 0,
         {{7, 11, "a", "b", 5}}},
        {"short segments, null as absent", R"({"s":[[["07:00"],[],[null,"10:00",3]]]})", false, 0,
         {{0, 0, "07:00", "", 0}, {0, 2, "", "10:00", 3}}},
        {"a day or segment of another type is empty", R"({"s":[5,["x",["a","b",1]],{"d":1}]})", false, 0,
         {{1, 1, "a", "b", 1}}},
        {"numbers as texts, an integer in text", R"({"s":[[[800,900,"4"]]]})", false, 0, {{0, 0, "800", "900", 4}}},
        {"action that is no integer", R"({"s":[[["a","b","c"]]]})", false, -1, {}},
        {"fractional action", R"({"s":[[["a","b",1.5]]]})", false, -1, {}},
        {"action beyond 32 bits", R"({"s":[[["a","b",4294967296]]]})", false, -1, {}},
        {"member null", R"({"s":null})", false, -1, {}},
        {"member an object", R"({"s":{"0":[]}})", false, -1, {}},
        {"camera: start and end only, days 0..6 valid, an eighth day and an eleventh segment ignored",
         R"({"s":[[],[],[],[],[],[],[[],[],[],[],[],[],[],[],[],["p","q",3],["r"]],[["y"]]]})", true, 0,
         {{6, 9, "p", "q", 0}}},
        {"camera: member absent", R"({"t":[]})", true, -1, {}},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        for (bool ex : {false, true}) {
            auto s = std::make_unique<event_schedule>();
            memset(s.get(), 0x5a, sizeof *s);
            auto untouched = std::make_unique<event_schedule>(*s);
            const int rc = row.camera ? get_schedule_by_json_ipc(request.get(), "s", s.get())
                                      : ex ? get_schedule_by_json_ex(request.get(), "s", s.get())
                                           : get_schedule_by_json(request.get(), "s", s.get());
            EXPECT_EQ(rc, row.rc) << row.what;
            auto expected = row.rc == 0 ? schedule_of(row.cells, row.camera) : std::move(untouched);
            EXPECT_EQ(memcmp(s.get(), expected.get(), sizeof *s), 0) << row.what;
        }
    }
    json_ptr request = parse(R"({"s":[]})");
    EXPECT_EQ(get_schedule_by_json(request.get(), "s", nullptr), -1);
}

// Both element forms, told apart by "chnid" anywhere in the array's text; at most 16 elements, up to
// the first missing one; any channel 0..63. What is stored reads back as exactly the entries given;
// a refused request leaves the caller's table as it was.
TEST(ActionLists, WhiteLedAndWarningLightListsStoredAndReadBack)
{
    device_root db;
    const struct { const char *what; std::string list; int chn; std::string answer; } rows[] = {
        {"objects", R"([{"chnid":3,"mode":1,"time":10},{"time":5,"chnid":"4"}])", 20,
         R"([{"chnid":3,"mode":1,"time":10},{"chnid":4,"mode":0,"time":5}])"},
        {"arrays, a zero entry kept", "[[3,1,10],[0]]", 63,
         R"([{"chnid":3,"mode":1,"time":10},{"chnid":0,"mode":0,"time":0}])"},
        {"twenty elements, sixteen kept", numbered("[", ",1,1]", 20), 0,
         numbered(R"({"chnid":)", R"(,"mode":1,"time":1})", 16)},
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
        const int rc = get_white_params_by_json(row.chn, table.get(), request.get(), "w");
        if (row.answer == REFUSED) {
            EXPECT_EQ(rc, -1) << row.what;
            EXPECT_EQ(memcmp(table.get(), before.get(), sizeof *table), 0) << row.what;
            continue;
        }
        ASSERT_EQ(rc, 0) << row.what;
        const whiteled_params_block &block = table->blocks[row.chn];
        ASSERT_EQ(write_whiteled_params_all(VXDB_MAIN_DB, &block, MOTION_WHITE_LED_PARAMS, row.chn), 0);
        json_ptr answer(get_white_params_json_object(row.chn, MOTION_WHITE_LED_PARAMS));
        EXPECT_EQ(text_of(answer.get()), row.answer) << row.what;
    }
    // Each table keeps its own lists; a list never stored, or of no channel, is empty.
    for (json_object *empty : {get_white_params_json_object(20, VIDEO_LOSS_WHITE_LED_PARAMS),
                               get_white_params_json_object(5, MOTION_WHITE_LED_PARAMS),
                               get_white_params_json_object(64, MOTION_WHITE_LED_PARAMS)}) {
        EXPECT_EQ(text_of(empty), "[]");
        json_object_put(empty);
    }
    // The people-counting list reads the same into one block; warning lights take [chnid, time] or
    // {"chnid", "time"}.
    auto light = std::make_unique<warning_light_params_table>();
    whiteled_params_block counting;
    json_ptr request = parse(R"({"w":[[3,1,10],[0]],"a":[[2,30],[9]],"o":[{"chnid":2,"time":30},{"time":7}]})");
    ASSERT_EQ(get_pcnt_white_params_by_json(63, &counting, request.get(), "w"), 0);
    ASSERT_EQ(write_peoplecnt_wled_params(VXDB_MAIN_DB, &counting, 9), 0);
    json_ptr counted(get_pcnt_white_params_json_object(9));
    EXPECT_EQ(text_of(counted.get()), rows[1].answer);
    EXPECT_EQ(get_pcnt_white_params_by_json(64, &counting, request.get(), "w"), -1);
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
    // reported: the entries the answer lists; -1: refused, nothing stored.
    const struct { const char *what; std::string list; int chn, type, reported; } rows[] = {
        {"seventy elements", numbered(R"({"acto_ptz_channel":)", "}", 70), 63, EVENT_KIND_CAMERA_ALARM_IN_BASE + 3, 64},
        {"people counting keeps sixteen", numbered(R"({"acto_ptz_channel":)", "}", 20), 5,
         EVENT_KIND_PEOPLE_COUNTING, 16},
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
        EXPECT_EQ(json_object_array_length(answer.get()), static_cast<size_t>(std::max(row.reported, 0))) << row.what;
    }
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, ptz_params_kind), 2) << "nothing of the refused lists stored";
    ptz_action_list stored;
    EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_PEOPLE_COUNTING, 5), 1);
    ASSERT_EQ(read_peoplecnt_ptz_params(VXDB_MAIN_DB, &stored, 5), 0);
    EXPECT_EQ(stored.entries[16].acto_ptz_channel, 0);
    EXPECT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_CAMERA_ALARM_IN_BASE + 2, 63), 1);

    json_ptr motion = parse(R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0,
                                 "acto_ptz_pattern":9},{"acto_ptz_channel":0,"acto_ptz_preset":3},
                                {"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_patrol":4}])");
    ASSERT_EQ(set_ptz_params_by_json(40, EVENT_KIND_MOTION, motion.get()), 1);
    json_ptr answer(get_ptz_params_json_object(EVENT_KIND_MOTION, 40));
    EXPECT_EQ(text_of(answer.get()),
              R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":7,"acto_ptz_patrol":0},)"
              R"({"acto_ptz_channel":5,"acto_ptz_type":2,"acto_ptz_preset":0,"acto_ptz_patrol":4}])");
    ASSERT_EQ(read_ptz_params(VXDB_MAIN_DB, &stored, EVENT_KIND_MOTION, 40), 0);
    EXPECT_EQ(stored.entries[0].acto_ptz_pattern, 9);
    EXPECT_EQ(stored.entries[1].acto_ptz_preset, 3);
    EXPECT_EQ(stored.entries[63].chn_id, 40);
}

TEST(HttpParams, TextsCutToTheirFieldsAndReadBack)
{
    const std::string url(600, 'u'), user(100, 'n'), pass(70, 'p');
    const struct { const char *what; std::string body; int chn, rc; std::string url, user, pass; } rows[] = {
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
}

TEST(AlarmOutPair, TwoTextsInAndOut)
{
    // first, second: the texts stored, "-" for an entry left as it was.
    const struct { std::string body; int chn, rc; std::string first, second; } rows[] = {
        {R"({"t":[")" + long_text + R"(","","x"]})", 63, 0, long_text.substr(0, 64), ""},
        {R"({"t":[null,"1"]})", 0, 0, "-", "1"},
        {R"({"t":"11"})", 0, -1, "-", "-"},
        {R"({"t":["11"]})", 64, -1, "-", "-"},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        chn_alarmout_entry pair[2], expected[2];
        memset(pair, 0x5a, sizeof pair);
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

TEST(CopyMask, ChannelsOfTheCountedElements)
{
    const struct { const char *body; uint64_t mask; } rows[] = {
        {R"({"copyCnt":1,"copyChn":[3,5]})", 1ull << 3},
        {R"({"copyCnt":9,"copyChn":[0,63]})", 1ull | (1ull << 63)},
        {R"({"copyCnt":"2","copyChn":[1,"7"]})", (1ull << 1) | (1ull << 7)},
        {R"({"copyCnt":8,"copyChn":[64,-1,1.5,null,true,{},[2],4]})", 1ull << 4},
        {R"({"copyCnt":1,"copyChn":[4294967298]})", 0},
        {R"({"copyCnt":-1,"copyChn":[3]})", 0},
        {R"({"copyCnt":null,"copyChn":[3]})", 0},
        {R"({"copyCnt":"x","copyChn":[3]})", 0},
        {R"({"copyCnt":1,"copyChn":3})", 0},
    };
    for (const auto &row : rows) {
        json_ptr request = parse(row.body);
        EXPECT_EQ(get_copy_flag_by_json(request.get(), "copyChn", "copyCnt"), row.mask) << row.body;
        EXPECT_EQ(get_copy_flag_by_json(request.get(), nullptr, "copyCnt"), 0u);
    }
}

TEST(SectionInfo, TextAfterThePatternUpToTheNextQuestionMark)
{
    const struct { const char *text, *pattern; int size, rc; std::string out; } rows[] = {
        {"a=1?chn=12?x=2", "chn=", 8, 0, "12"},
        {"chn=123456", "chn=", 4, 0, "123"},  // cut, and terminated within the size
        {"chn=5", "chn=", 1, 0, ""},
        {"chn=5", "id=", 8, -1, ""},
        {"chn=5", "", 8, -1, ""},
        {nullptr, "chn=", 8, -1, ""},
        {"chn=5", "chn=", 0, -1, std::string(15, '#')},  // no room even for the terminator: untouched
    };
    for (const auto &row : rows) {
        char out[16] = {};
        memset(out, '#', 15);
        EXPECT_EQ(get_section_info(row.text, row.pattern, out, row.size), row.rc) << row.pattern << " " << row.size;
        EXPECT_EQ(std::string(out), row.out) << row.pattern << " " << row.size;
        EXPECT_EQ(out[row.size], '#') << "nothing written past the size";
    }
    EXPECT_EQ(get_section_info("a=1", "a=", nullptr, 4), -1);
}

TEST(EventNumbers, KindsOfAnalysisEventsAndCameraAlarmInputs)
{
    const struct { int (*map)(int); int in, out; } rows[] = {
        {get_smart_event_ptz_type, 0, 5},          {get_smart_event_ptz_type, 8, 13},
        {get_smart_event_ptz_type, 9, -1},         {get_smart_event_ptz_type, -1, -1},
        {converse_chn_alarmid_to_event_in, 0, 26}, {converse_chn_alarmid_to_event_in, 3, 29},
        {converse_chn_alarmid_to_event_in, 4, -1}, {converse_chn_alarmid_to_event_in, -1, -1},
        {event_kind_valid, 29, 1}, {event_kind_valid, 30, 0}, {event_kind_valid, -1, 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.map(row.in), row.out) << row.in;
}

// The names become JSON member names; kinds 12 and 13 have none.
TEST(ExceptionNames, CutAndTerminatedWithinTheBuffer)
{
    const struct { int i, size, rc; std::string name; } rows[] = {
        {5, 32, 0, "recordFailed"}, {12, 32, 0, ""}, {0, 4, 0, "dis"}, {14, 32, -1, ""}, {-1, 32, -1, ""},
    };
    for (const auto &row : rows) {
        char name[32];
        memset(name, '#', sizeof name);
        EXPECT_EQ(get_exception_name(row.i, name, row.size), row.rc) << row.i;
        EXPECT_EQ(std::string(name), row.name) << row.i;
    }
    EXPECT_EQ(get_exception_name(0, nullptr, 32), -1);
}
