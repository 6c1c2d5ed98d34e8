// Formatting a disk ("/6102") and the format progress check ("/6103") through nvr.cgi and the fake
// main service: the answer to each result, the request and the operation-log record with its detail.
#include "e2e/pages.h"
#include "storage/storage_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
// The detail the format packs into its log record: kind, stored length, then the 72-byte block.
void expect_format_detail(const operation_log &log, int port, int result)
{
    EXPECT_EQ(log.sub_type, 207);
    EXPECT_EQ(log.parameter_type, 900);
    EXPECT_EQ(log.chan_no, port);
    EXPECT_EQ(log.size, 8 + static_cast<int>(sizeof(format_detail)));
    int32_t kind = 0, length = 0;
    memcpy(&kind, log.detail, 4);
    memcpy(&length, log.detail + 4, 4);
    EXPECT_EQ(kind, 102);
    EXPECT_EQ(length, 72);
    format_detail detail;
    memcpy(&detail, log.detail + 8, sizeof detail);
    EXPECT_EQ(detail.port, port);
    EXPECT_EQ(detail.result, result);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(detail.reserved), sizeof detail.reserved),
              std::string(sizeof detail.reserved, '\0'));
}

// Runs one format of `port`; the format request and its log record must both have been sent.
cgi_result format(const test_root &root, fake_main_service &fms, int port, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_result r = run_page(root, page_get("/6102", std::to_string(port), wait_ms));
    EXPECT_TRUE(fms.wait_requests(2));
    std::vector<fms_request> sent = fms.requests();
    EXPECT_EQ(sent.size(), 2u);
    if (sent.size() == 2) {
        EXPECT_EQ(sent[0].code, 3434);
        EXPECT_EQ(sent[0].flags, 0u);
        EXPECT_EQ(sent[0].payload, fms_int(port));
    }
    return r;
}

operation_log format_log(const fake_main_service &fms)
{
    std::vector<fms_request> sent = fms.requests();
    return sent.size() == 2 ? logged_operation(sent[1]) : operation_log{};
}
}  // namespace

TEST(FormatDisk, EachResultHasItsTextAndOnlySuccessIsLoggedAsSuccess)
{
    struct outcome {
        int port;
        int32_t result;
        std::string answer;
        int logged;
    };
    for (const outcome &o : {outcome{0, 0, TEXT + "OK", 1}, outcome{36, 1, TEXT + "USING", -1},
                             outcome{5, -1, TEXT + "ERROR FORMAT", -1}, outcome{12, -3, TEXT + "NAS LOW CAP", -1},
                             outcome{1, 7, "", -1}}) {
        SCOPED_TRACE(o.result);
        test_root root;
        fake_main_service fms(root);
        fms.script(3434, fms_script().reply(8434, fms_int(o.result)));
        EXPECT_EQ(format(root, fms, o.port).out, o.answer);
        expect_format_detail(format_log(fms), o.port, o.logged);
    }
}

TEST(FormatDisk, WithoutAWholeReplyAnswersTheJsonErrorFormAndLogsAFailure)
{
    for (const std::string &reply : {std::string("no reply"), std::string("\x00\x00", 2)}) {
        test_root root;
        fake_main_service fms(root);
        if (reply != "no reply")
            fms.script(3434, fms_script().reply(8434, reply));
        EXPECT_EQ(format(root, fms, 4, NO_REPLY_WAIT_MS).out, JSON_ERROR);
        expect_format_detail(format_log(fms), 4, -1);
    }
}

TEST(FormatDisk, OnlyAWellFormedPortStartsAFormat)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(3434, fms_script().reply(8434, fms_int(0)));
    for (const char *query : {"", "abc", "37", "-1", "port=5", " 5", "5x", "0x5", "99999999999999999999"})
        EXPECT_EQ(run_page(root, page_get("/6102", query)).out, "") << query;
    EXPECT_EQ(format(root, fms, 4).out, TEXT + "OK");
}

TEST(FormatProgress, AnswersOkFor0To16Only)
{
    test_root root;
    for (const char *query : {"0", "16"})
        EXPECT_EQ(run_page(root, page_get("/6103", query)).out, TEXT + "OK") << query;
    for (const char *query : {"17", "-1", "abc", "", "1.5"})
        EXPECT_EQ(run_page(root, page_get("/6103", query)).out, "") << query;
}
