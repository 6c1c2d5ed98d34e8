// The response writers' exact bytes, the common reply routines, and the JSON readers handlers share.
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

TEST(CommonReplies, JsonStatusFromTheFirstInteger)
{
    const int32_t payload[2] = {-17, 99};
    g_callback_done = 0;
    EXPECT_EQ(output_of([&] { on_cgi_common_json_cb(2, payload); }), json_header + "{ \"status\": -17 }");
    EXPECT_EQ(g_callback_done.load(), 1);

    g_callback_done = 0;
    EXPECT_EQ(output_of([&] { on_cgi_common_json_cb(0, payload); }), "");
    EXPECT_EQ(output_of([] { on_cgi_common_json_cb(1, nullptr); }), "");
    EXPECT_EQ(g_callback_done.load(), 0);
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
void routine_a(int count, const void *)
{
    g_routine_hit = 1;
    g_routine_count = count;
}
void routine_b(int count, const void *)
{
    g_routine_hit = 2;
    g_routine_count = count;
}

void dispatch(int32_t code, int32_t length, const void *payload)
{
    static const cgi_reply_route routes[] = {{8001, 8, routine_a}, {8002, 4, routine_b}};
    unsigned char header[24] = {};
    memcpy(header + 12, &code, 4);
    memcpy(header + 20, &length, 4);
    g_routine_hit = 0;
    g_routine_count = -1;
    cgi_dispatch_reply(routes, header, payload);
}
}  // namespace

TEST(ReplyDispatch, RoutineByCodeWithTheCountOfWholeRecords)
{
    const unsigned char payload[20] = {};
    dispatch(8001, 20, payload);  // two whole 8-byte records, a part of a third
    EXPECT_EQ(g_routine_hit, 1);
    EXPECT_EQ(g_routine_count, 2);
    dispatch(8002, 3, payload);  // less than one record: the routine decides, with a count of 0
    EXPECT_EQ(g_routine_hit, 2);
    EXPECT_EQ(g_routine_count, 0);
    dispatch(8003, 20, payload);
    EXPECT_EQ(g_routine_hit, 0) << "a code without a route";
    dispatch(8001, 20, nullptr);
    EXPECT_EQ(g_routine_hit, 0) << "no payload";
}
