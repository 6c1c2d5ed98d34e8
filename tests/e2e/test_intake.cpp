// Request intake through the real test CGI program: which requests reach a handler, and the exact
// request data the handler receives for GET and for URL-encoded and JSON POST bodies.
#include "support/cgi_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {
const std::string text_header = "Content-type: text/plain\r\n\r\n";

cgi_request get(const std::string &path, const std::string &query)
{
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.path_info = path;
    request.query = query;
    return request;
}

cgi_request post(const std::string &path, const std::string &content_type, const std::string &body)
{
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.method = "POST";
    request.path_info = path;
    request.content_type = content_type;
    request.body = body;
    return request;
}

// A request the intake does not route: nothing written, a normal exit.
void expect_ignored(const test_root &root, const cgi_request &request, const std::string &what)
{
    cgi_result r = run_cgi(root, request);
    EXPECT_FALSE(r.timed_out) << what;
    EXPECT_EQ(r.exit_status, 0) << what;
    EXPECT_EQ(r.out, "") << what;
}
}  // namespace

TEST(Intake, RequestsWithoutARouteWriteNothing)
{
    test_root root;
    for (const char *method : {"HEAD", "PUT", "DELETE", "OPTIONS", "GETX", ""}) {
        cgi_request request = get("/echo", "a=1");
        request.method = method;
        expect_ignored(root, request, std::string("method ") + method);
    }
    expect_ignored(root, get("", "a=1"), "GET without PATH_INFO");
    expect_ignored(root, post("", "application/json", "{}"), "POST without PATH_INFO");
    expect_ignored(root, get("/9999", "a=1"), "unregistered path");
    expect_ignored(root, get("/echo/", "a=1"), "trailing slash");
    expect_ignored(root, get("/ECHO", "a=1"), "path in other letter case");
    expect_ignored(root, get("echo", "a=1"), "path without slash");
    expect_ignored(root, get("/echo" + std::string(200, 'x'), "a=1"), "overlong path");
    for (const char *type : {"text/plain", "", "application/jsonx", "application/json-patch+json", "text/json"})
        expect_ignored(root, post("/echo", type, "{\"a\":1}"), std::string("POST of type ") + type);
}

// The method is taken in any letter case.
TEST(Intake, GetQueryHasOnlyQuoteEscapesDecoded)
{
    test_root root;
    const struct {
        const char *method;
        std::string query, data;
    } cases[] = {
        {"GET", "a=%22b%22&c=%41", "a=\"b\"&c=%41"},
        {"get", "%%2222", "%\"22"},
        {"Get", "%2%22%222", "%2\"\"2"},
        {"gEt", "x=%20+%2522", "x=%20+%2522"},
        {"GET", "", ""},
    };
    for (const auto &c : cases) {
        cgi_request request = get("/echo", c.query);
        request.method = c.method;
        cgi_result r = run_cgi(root, request);
        EXPECT_EQ(r.exit_status, 0) << c.method << " " << c.query;
        EXPECT_EQ(r.out, text_header + c.data) << c.method << " " << c.query;
    }
}

// The query is cut to 1023 characters first, so an escape that straddles the cut stays undecoded.
TEST(Intake, LongQueryIsCutBeforeQuotesAreDecoded)
{
    test_root root;
    std::string straddling = std::string(1021, 'a') + "%22" + std::string(476, 'b');
    ASSERT_EQ(straddling.size(), 1500u);
    cgi_result r = run_cgi(root, get("/echo", straddling));
    EXPECT_EQ(r.out, text_header + std::string(1021, 'a') + "%2");

    std::string quotes;
    for (int i = 0; i < 500; ++i)
        quotes += "%22";
    r = run_cgi(root, get("/echo", quotes));
    EXPECT_EQ(r.out, text_header + std::string(341, '"'));
}

TEST(Intake, JsonAndUrlEncodedBodiesReachTheHandlerRaw)
{
    test_root root;
    const std::string json = "{\"name\":\"a%22b\",\n\"n\":1}";
    const std::string form = "a=%41+b%22&c=d+e";
    const std::pair<std::string, std::string> cases[] = {
        {"application/json", json},
        {"application/json; charset=utf-8", json},
        {"APPLICATION/JSON;charset=UTF-8", json},
        {"application/x-www-form-urlencoded", form},
        {"Application/X-WWW-Form-Urlencoded; charset=iso-8859-1", form},
    };
    for (const auto &[type, body] : cases) {
        cgi_result r = run_cgi(root, post("/echo", type, body));
        EXPECT_EQ(r.exit_status, 0) << type;
        EXPECT_EQ(r.out, text_header + body) << type;
    }
    cgi_request lower = post("/echo", "application/json", json);
    lower.method = "post";
    EXPECT_EQ(run_cgi(root, lower).out, text_header + json);
}

// The body is read to the end of input, 128 lines or a full buffer; CONTENT_LENGTH plays no part.
TEST(Intake, PostBodyIsCutToItsBufferAndLineCount)
{
    test_root root;
    std::string big(40000, 'z');
    for (size_t i = 0; i < big.size(); i += 97)
        big[i] = static_cast<char>('a' + i % 26);
    cgi_result r = run_cgi(root, post("/echo", "application/json", big));
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, text_header + big.substr(0, 30719));

    std::string lines, first_128;
    for (int i = 0; i < 200; ++i) {
        std::string line = "line " + std::to_string(i) + "\n";
        lines += line;
        if (i < 128)
            first_128 += line;
    }
    r = run_cgi(root, post("/echo", "application/x-www-form-urlencoded", lines));
    EXPECT_EQ(r.out, text_header + first_128);

    cgi_request declared_short = post("/echo", "application/json", "{\"long\":\"body\"}");
    declared_short.content_length = "3";
    EXPECT_EQ(run_cgi(root, declared_short).out, text_header + "{\"long\":\"body\"}");
}
