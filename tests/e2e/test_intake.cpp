#include "support/cgi_runner.h"

#include <gtest/gtest.h>

TEST(Intake, GetQueryReachesHandlerWithQuotesDecoded)
{
    test_root root;
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.path_info = "/echo";
    request.query = "a=%22b%22&c=%41";
    cgi_result r = run_cgi(root, request);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "Content-type: text/plain\r\n\r\na=\"b\"&c=%41");
}
