// Shared pieces of the end-to-end tests of the pages: requests as the web pages send them and the
// answer headers (the tables of rows that run them: page_table.h).
#pragma once

#include "support/cgi_runner.h"
#include "support/fake_main_service.h"
#include "vxdb/vxdb.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

inline const std::string TEXT = "Content-type: text/plain\r\n\r\n";
inline const std::string JSON = "Content-type: application/json\r\n\r\n";
inline const std::string JSON_ERROR = JSON + "{status:\"CGI ERROR\"}";
inline const std::string TEXT_ERROR = TEXT + "CGI ERROR";

// Long enough for any reply of the fake; a request that gets none gives up after the short wait.
inline const char *const REPLY_WAIT_MS = "5000";
inline const char *const NO_REPLY_WAIT_MS = "300";

// A request as the pages send it: the session cookie of an operator and a cap on the reply wait.
inline cgi_request page_get(const std::string &path, const std::string &query = "",
                            const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request;
    request.path_info = path;
    request.query = query;
    request.env = {{"VX_IPC_TIMEOUT_MS", wait_ms}, {"HTTP_COOKIE", "sessionId=77; userName=operator; lang=en"}};
    return request;
}

inline cgi_request page_post(const std::string &path, const std::string &body, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request = page_get(path, "", wait_ms);
    request.method = "POST";
    request.content_type = "application/json";
    request.body = body;
    return request;
}

// Runs the page; the program must end normally and quietly whatever it answers. The test's own
// database connections are closed first, so the program sees what the test stored.
inline cgi_result run_page(const test_root &root, const cgi_request &request)
{
    vxdb_close_all();
    cgi_result r = run_cgi(root, request);
    EXPECT_EQ(r.exit_status, 0) << request.path_info << " " << request.body;
    EXPECT_EQ(r.err, "") << request.path_info << " " << request.body;
    return r;
}

// The bytes of a request made of 32-bit integers.
inline std::string ints(std::initializer_list<int32_t> values)
{
    std::string bytes;
    for (int32_t v : values)
        bytes += fms_int(v);
    return bytes;
}
