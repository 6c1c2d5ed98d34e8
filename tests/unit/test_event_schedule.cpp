// Week schedules and the small readers of event requests: the shapes the pages exchange, the cuts,
// short and odd shapes, the copy mask, query sections, and the fixed numbering tables.
#include "link/event_kinds.h"
#include "link/event_request.h"
#include "link/event_schedule.h"
#include "link/web_json.h"
#include "vxrt/vx_exception.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
std::string element_text(json_object *week, size_t day, size_t segment)
{
    json_object *item = json_object_array_get_idx(json_object_array_get_idx(week, day), segment);
    return item ? json_object_to_json_string_ext(item, JSON_C_TO_STRING_PLAIN) : "(null)";
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

const std::string long_text(40, 't');
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
    for (json_object *week : {plain.get(), ex.get(), camera.get()}) {
        ASSERT_EQ(json_object_array_length(week), 8u);
        for (size_t d = 0; d < 8; ++d)
            EXPECT_EQ(json_object_array_length(json_object_array_get_idx(week, d)), 12u);
    }
    EXPECT_STREQ(json_object_to_json_string(plain.get()), json_object_to_json_string(ex.get()));
    EXPECT_EQ(element_text(plain.get(), 0, 0), R"({"startTime":"08:00","endTime":"","actionType":3})");
    EXPECT_EQ(element_text(plain.get(), 7, 11),
              R"({"startTime":")" + std::string(31, 'x') + R"(","endTime":"","actionType":0})");
    // The camera form: no action, and only days marked valid show their texts.
    EXPECT_EQ(element_text(camera.get(), 0, 0), R"({"startTime":"","endTime":""})");
    EXPECT_EQ(element_text(camera.get(), 2, 1), R"({"startTime":"","endTime":"23:59"})");
    EXPECT_EQ(get_schedule_json_object(nullptr), nullptr);
    EXPECT_EQ(get_schedule_json_object_ipc(nullptr), nullptr);
}

// Requests carry positional arrays. Whatever the browser leaves out reads as an empty segment, what
// it adds beyond the shape is ignored; a member that is no array, or an action that is no integer,
// leaves the schedule exactly as it was.
TEST(ScheduleJson, RequestArraysIntoTheRecord)
{
    const struct {
        const char *what;
        std::string body;
        bool camera;
        int rc;
        std::vector<cell> cells;
    } rows[] = {
        {"texts cut to 31", R"({"s":[[[")" + long_text + R"(",")" + long_text + R"(",1]]]})", false, 0,
         {{0, 0, std::string(31, 't'), std::string(31, 't'), 1}}},
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
        {"member absent", R"({"t":[]})", false, -1, {}},
        {"member null", R"({"s":null})", false, -1, {}},
        {"member an object", R"({"s":{"0":[]}})", false, -1, {}},
        {"camera: start and end only, days 0..6 valid, an eighth day and an eleventh segment ignored",
         R"({"s":[[],[],[],[],[],[],[[],[],[],[],[],[],[],[],[],["p","q",3],["r"]],[["y"]]]})", true, 0,
         {{6, 9, "p", "q", 0}}},
        {"camera: member absent", R"({"t":[]})", true, -1, {}},
    };
    for (const auto &row : rows) {
        json_ptr request(get_request_tokener_json_object(row.body.c_str()));
        ASSERT_TRUE(request) << row.what;
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
    json_ptr request(get_request_tokener_json_object(R"({"s":[]})"));
    EXPECT_EQ(get_schedule_by_json(request.get(), "s", nullptr), -1);
    EXPECT_EQ(get_schedule_by_json_ipc(request.get(), "s", nullptr), -1);
}

TEST(CopyMask, ChannelsOfTheCountedElements)
{
    const struct {
        const char *body;
        uint64_t mask;
    } rows[] = {
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
        json_ptr request(get_request_tokener_json_object(row.body));
        ASSERT_TRUE(request) << row.body;
        EXPECT_EQ(get_copy_flag_by_json(request.get(), "copyChn", "copyCnt"), row.mask) << row.body;
    }
    json_ptr request(get_request_tokener_json_object(R"({"copyCnt":1,"copyChn":[3]})"));
    EXPECT_EQ(get_copy_flag_by_json(request.get(), nullptr, "copyCnt"), 0u);
    EXPECT_EQ(get_copy_flag_by_json(request.get(), "copyChn", nullptr), 0u);
}

TEST(SectionInfo, TextAfterThePatternUpToTheNextQuestionMark)
{
    const struct {
        const char *text, *pattern;
        int size;
        int rc;
        std::string out;
    } rows[] = {
        {"a=1?chn=12?x=2", "chn=", 8, 0, "12"},
        {"chn=123456", "chn=", 4, 0, "123"},  // cut, and terminated within the size
        {"chn=5", "chn=", 1, 0, ""},
        {"chn=5", "id=", 8, -1, ""},
        {"chn=5", "", 8, -1, ""},
    };
    for (const auto &row : rows) {
        char out[16];
        memset(out, '#', sizeof out);
        EXPECT_EQ(get_section_info(row.text, row.pattern, out, row.size), row.rc) << row.text << " " << row.size;
        EXPECT_EQ(std::string(out), row.out) << row.text << " " << row.size;
        EXPECT_EQ(out[row.size], '#') << "nothing written past the size";
    }
    char out[4] = "###";
    EXPECT_EQ(get_section_info("a=1", "a=", out, 0), -1);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(get_section_info(nullptr, "a", out, 4) + get_section_info("a", nullptr, out, 4), -2);
    EXPECT_EQ(get_section_info("a=1", "a=", nullptr, 4), -1);
}

TEST(EventNumbers, KindsOfAnalysisEventsAndCameraAlarmInputs)
{
    const struct {
        int (*map)(int);
        int in, out;
    } rows[] = {
        {get_smart_event_ptz_type, 0, 5},           {get_smart_event_ptz_type, 8, 13},
        {get_smart_event_ptz_type, 9, -1},          {get_smart_event_ptz_type, -1, -1},
        {converse_chn_alarmid_to_event_in, 0, 26},  {converse_chn_alarmid_to_event_in, 3, 29},
        {converse_chn_alarmid_to_event_in, 4, -1},  {converse_chn_alarmid_to_event_in, -1, -1},
        {event_kind_valid, 29, 1}, {event_kind_valid, 30, 0}, {event_kind_valid, -1, 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.map(row.in), row.out) << row.in;
}

// The names become JSON member names; kinds 12 and 13 have none.
TEST(ExceptionNames, CutAndTerminatedWithinTheBuffer)
{
    const struct {
        int i, size, rc;
        std::string name;
    } rows[] = {{5, 32, 0, "recordFailed"}, {12, 32, 0, ""}, {0, 4, 0, "dis"}, {14, 32, -1, ""}, {-1, 32, -1, ""}};
    for (const auto &row : rows) {
        char name[32];
        memset(name, '#', sizeof name);
        EXPECT_EQ(get_exception_name(row.i, name, row.size), row.rc) << row.i;
        EXPECT_EQ(std::string(name), row.name) << row.i;
    }
    EXPECT_EQ(get_exception_name(0, nullptr, 32), -1);
}
