// The response writers' exact bytes, the common reply routines, and the JSON readers handlers share.
#include "link/web_answer.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace {
const std::string text_header = "Content-type: text/plain\r\n\r\n";
const std::string json_header = "Content-type: application/json\r\n\r\n";

std::string output_of(const std::function<void()> &write)
{
    testing::internal::CaptureStdout();
    write();
    return testing::internal::GetCapturedStdout();
}

// The header by type, and the two error forms.
TEST(Writers, WritebackHeaderByTypeAndErrorForms)
{
    int result = -2;
    EXPECT_EQ(output_of([&] { result = cgi_writeback_webserver(0, "OK"); }), text_header + "OK");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output_of([] { cgi_writeback_webserver(1, "{ \"a\": 1 }"); }), json_header + "{ \"a\": 1 }");
    EXPECT_EQ(output_of([] { cgi_writeback_webserver(7, "raw\r\n"); }), "raw\r\n");
    EXPECT_EQ(output_of([&] { result = cgi_writeback_webserver(0, nullptr); }), "");
    EXPECT_EQ(result, -1);

    EXPECT_EQ(output_of([] { cgi_error_to_webserver(0); }), text_header + "CGI ERROR");
    EXPECT_EQ(output_of([] { cgi_error_to_webserver(1); }), json_header + "{status:\"CGI ERROR\"}");
    EXPECT_EQ(output_of([] { cgi_error_to_webserver(2); }), "");
    EXPECT_EQ(output_of([] { cgi_error_to_webserver(-1); }), "");
}

TEST(CommonReplies, TextWordingCutTo255Characters)
{
    g_callback_done = 0;
    EXPECT_EQ(output_of([] { on_cgi_common_text_cb(1, -5, "x"); }), text_header + "CGI ERROR status:[-5], data:[x]");
    EXPECT_EQ(g_callback_done.load(), 1);
    EXPECT_EQ(output_of([] { on_cgi_common_text_cb(0, 0, nullptr); }), text_header + "CGI OK status:[0]");
    EXPECT_EQ(output_of([] { on_cgi_common_text_cb(0, 3, ""); }), text_header + "CGI OK status:[3], data:[]");

    // Cut to 255 characters.
    std::string data(400, 'd');
    std::string expected = "CGI OK status:[12], data:[" + data;
    expected.resize(255);
    EXPECT_EQ(output_of([&] { on_cgi_common_text_cb(0, 12, data.c_str()); }), text_header + expected);
}

namespace {
constexpr cgi_result_text format_like[] = {{0, "OK"}, {-3, "LOW"}};
}

// The ready-made reply routines: what each answers for a reply, and the flag value it returns.
TEST(CommonReplies, ReadyMadeRoutinesAnswerFromTheFirstInteger)
{
    const int32_t payload[2] = {-17, 99};
    const int32_t zero = 0, low = -3;
    const struct {
        cgi_reply_routine routine;
        int count;
        const int32_t *payload;
        std::string answer;
        int done;
    } cases[] = {
        {on_cgi_common_json_cb, 2, payload, json_header + "{ \"status\": -17 }", CGI_REPLY_ANSWERED},
        {on_cgi_common_json_cb, 0, payload, "", CGI_REPLY_UNUSABLE},
        {on_cgi_common_json_cb, 1, nullptr, "", CGI_REPLY_UNUSABLE},
        {cgi_reply_ok_error, 1, &zero, text_header + "OK", CGI_REPLY_ANSWERED},
        {cgi_reply_ok_error, 2, payload, text_header + "Error", CGI_REPLY_ANSWERED},
        {cgi_reply_ok_error, 0, &zero, "", CGI_REPLY_UNUSABLE},
        {cgi_reply_status_ok_error, 1, &zero, json_header + "{ \"status\": \"OK\" }", CGI_REPLY_ANSWERED},
        {cgi_reply_status_ok_error, 1, payload, json_header + "{ \"status\": \"ERROR\" }", CGI_REPLY_ANSWERED},
        {cgi_reply_result_json, 1, payload, json_header + "{ \"result\": -17 }", CGI_REPLY_ANSWERED},
        {cgi_reply_result_text<format_like>, 1, &low, text_header + "LOW", CGI_REPLY_ANSWERED},
        // A result no row names is answered with nothing, and counts as answered.
        {cgi_reply_result_text<format_like>, 1, payload, "", CGI_REPLY_ANSWERED},
    };
    for (const auto &c : cases) {
        int done = -1;
        EXPECT_EQ(output_of([&] { done = c.routine(c.count, c.payload); }), c.answer) << c.answer;
        EXPECT_EQ(done, c.done) << c.answer;
    }
}

TEST(JsonReaders, RequestParsing)
{
    EXPECT_EQ(get_request_tokener_json_object(nullptr), nullptr);
    EXPECT_EQ(get_request_tokener_json_object("{\"a\":"), nullptr);
    EXPECT_EQ(get_request_tokener_json_object("not json"), nullptr);
    json_ptr object(get_request_tokener_json_object("{\"a\":1}"));
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(json_object_is_type(object.get(), json_type_object));
}

TEST(JsonReaders, ValueByJson)
{
    int value = 42;
    EXPECT_EQ(on_cgi_get_value_by_json("{\"portId\":3,\"x\":\"7\"}", "portId", &value), 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(on_cgi_get_value_by_json("{\"x\":\"7\"}", "x", &value), 0);
    EXPECT_EQ(value, 7);
    value = 42;
    EXPECT_EQ(on_cgi_get_value_by_json("{\"portId\":3}", "group", &value), -1);
    EXPECT_EQ(on_cgi_get_value_by_json("{\"portId\":null}", "portId", &value), -1);
    EXPECT_EQ(on_cgi_get_value_by_json("{portId", "portId", &value), -1);
    EXPECT_EQ(on_cgi_get_value_by_json(nullptr, "portId", &value), -1);
    EXPECT_EQ(on_cgi_get_value_by_json("{\"portId\":3}", nullptr, &value), -1);
    EXPECT_EQ(on_cgi_get_value_by_json("{\"portId\":3}", "portId", nullptr), -1);
    EXPECT_EQ(value, 42);
}

TEST(JsonReaders, IntMember)
{
    json_ptr object(get_request_tokener_json_object("{\"id\":-4,\"big\":5000000000,\"nested\":{\"id\":1}}"));
    int value = 42;
    EXPECT_EQ(on_cgi_get_int_from_json(object.get(), "id", &value), 0);
    EXPECT_EQ(value, -4);
    EXPECT_EQ(on_cgi_get_int_from_json(object.get(), "big", &value), 0);
    EXPECT_EQ(value, INT32_MAX);  // json-c clamps to the 32-bit range
    value = 42;
    EXPECT_EQ(on_cgi_get_int_from_json(object.get(), "missing", &value), -1);
    EXPECT_EQ(on_cgi_get_int_from_json(nullptr, "id", &value), -1);
    EXPECT_EQ(value, 42);
}

TEST(JsonReaders, StringMemberIsCutToTheBuffer)
{
    json_ptr object(get_request_tokener_json_object("{\"name\":\"abcdefghij\",\"n\":12,\"z\":null}"));
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "name", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "abcdefg");

    char small[1] = {'#'};
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "name", small, sizeof small), 0);
    EXPECT_EQ(small[0], '\0');

    char number[8];
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "n", number, sizeof number), 0);
    EXPECT_STREQ(number, "12");

    char untouched[8] = "keep";
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "missing", untouched, sizeof untouched), -1);
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "z", untouched, sizeof untouched), -1);
    EXPECT_EQ(on_cgi_get_string_from_json(object.get(), "name", untouched, 0), -1);
    EXPECT_STREQ(untouched, "keep");
}
}  // namespace

namespace {
int g_routine_hit = 0;
int g_routine_count = -1;
int g_routine_result = CGI_REPLY_ANSWERED;
int routine_a(int count, const void *)
{
    g_routine_hit = 1;
    g_routine_count = count;
    return g_routine_result;
}
int routine_b(int count, const void *)
{
    g_routine_hit = 2;
    g_routine_count = count;
    return g_routine_result;
}

const cgi_reply_route first_routes[] = {{8001, 8, routine_a}};
const cgi_reply_route second_routes[] = {{8002, 4, routine_b, CGI_LIST}};
const cgi_reply_table first_table = {CGI_ROWS(first_routes)};
const cgi_reply_table second_table = {CGI_ROWS(second_routes)};

// The flag the dispatcher left for one reply, with the routine returning `result`.
int dispatch(int32_t code, int32_t length, const void *payload, int result = CGI_REPLY_ANSWERED)
{
    static const cgi_reply_table *const tables[] = {&first_table, &second_table};
    unsigned char header[24] = {};
    memcpy(header + 12, &code, 4);
    memcpy(header + 20, &length, 4);
    g_routine_hit = 0;
    g_routine_count = -1;
    g_routine_result = result;
    g_callback_done = 0;
    cgi_dispatch_reply(tables, header, payload);
    return g_callback_done;
}
}  // namespace

TEST(ReplyDispatch, RoutineByCodeWithTheCountOfWholeRecords)
{
    const unsigned char payload[20] = {};
    EXPECT_EQ(dispatch(8001, 20, payload), CGI_REPLY_ANSWERED);  // two whole 8-byte records, a part of a third
    EXPECT_EQ(g_routine_hit, 1);
    EXPECT_EQ(g_routine_count, 2);
    EXPECT_EQ(dispatch(8002, 3, payload), CGI_REPLY_ANSWERED);  // a list: no whole record is an empty list
    EXPECT_EQ(g_routine_hit, 2);
    EXPECT_EQ(g_routine_count, 0);
    EXPECT_EQ(dispatch(8003, 20, payload), 0);
    EXPECT_EQ(g_routine_hit, 0) << "a code without a route";
    EXPECT_EQ(dispatch(8001, 20, nullptr), 0);
    EXPECT_EQ(g_routine_hit, 0) << "no payload";
}

// The flag is what the routine returned; a reply too short for one record never reaches its routine.
TEST(ReplyDispatch, StoresWhatTheRoutineReturns)
{
    const unsigned char payload[8] = {};
    EXPECT_EQ(dispatch(8001, 8, payload, CGI_REPLY_FAILED), CGI_REPLY_FAILED);
    EXPECT_EQ(dispatch(8001, 8, payload, 7), 7);
    EXPECT_EQ(dispatch(8001, 8, payload, CGI_REPLY_UNUSABLE), 0);
    EXPECT_EQ(g_routine_hit, 1);
    EXPECT_EQ(dispatch(8001, 8, payload, CGI_REPLY_MORE), 0) << "a frame of a longer reply leaves the flag";
    EXPECT_EQ(dispatch(8001, 7, payload), 0);
    EXPECT_EQ(g_routine_hit, 0) << "less than one record";
}
