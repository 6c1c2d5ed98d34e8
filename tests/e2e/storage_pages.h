// Shared pieces of the end-to-end tests of the storage pages: requests as the disk page sends them,
// the two answer headers, and the operation-log record the fake main service received.
#pragma once

#include "support/cgi_runner.h"
#include "support/fake_main_service.h"
#include "vxrt/vx_oplog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

inline const std::string TEXT = "Content-type: text/plain\r\n\r\n";
inline const std::string JSON = "Content-type: application/json\r\n\r\n";
inline const std::string JSON_ERROR = JSON + "{status:\"CGI ERROR\"}";
inline const std::string TEXT_ERROR = TEXT + "CGI ERROR";

// Long enough for any reply of the fake; a request that gets none gives up after the short wait.
inline const char *const REPLY_WAIT_MS = "5000";
inline const char *const NO_REPLY_WAIT_MS = "300";

inline cgi_request storage_page(const std::string &path, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request;
    request.path_info = path;
    request.env = {{"VX_IPC_TIMEOUT_MS", wait_ms}, {"HTTP_COOKIE", "sessionId=77; userName=operator; lang=en"}};
    return request;
}

inline cgi_request storage_get(const std::string &path, const std::string &query, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request = storage_page(path, wait_ms);
    request.query = query;
    return request;
}

inline cgi_request storage_post(const std::string &path, const std::string &body, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request = storage_page(path, wait_ms);
    request.method = "POST";
    request.content_type = "application/json";
    request.body = body;
    return request;
}

// Runs the page; the program must end normally and quietly whatever it answers.
inline cgi_result run_page(const test_root &root, const cgi_request &request)
{
    cgi_result r = run_cgi(root, request);
    EXPECT_EQ(r.exit_status, 0) << request.path_info;
    EXPECT_EQ(r.err, "") << request.path_info;
    return r;
}

// The operation-log record of a 3485 request, with the fields every record of these pages shares
// checked: main type 4, sent from the web interface by the cookie's user at the runner's address.
inline operation_log logged_operation(const fms_request &request)
{
    operation_log record{};
    EXPECT_EQ(request.code, 3485);
    EXPECT_TRUE(request.send_only());
    EXPECT_EQ(request.payload.size(), sizeof record);
    memcpy(&record, request.payload.data(), std::min(request.payload.size(), sizeof record));
    EXPECT_EQ(record.main_type, 4);
    EXPECT_EQ(record.remote, 1);
    EXPECT_STREQ(record.ip, "127.0.0.1");
    EXPECT_STREQ(record.user, "operator");
    return record;
}

// The bytes of a request made of 32-bit integers.
inline std::string ints(std::initializer_list<int32_t> values)
{
    std::string bytes;
    for (int32_t v : values)
        bytes += fms_int(v);
    return bytes;
}
