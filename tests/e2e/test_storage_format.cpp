// Formatting a disk ("/6102") and the format progress check ("/6103") through nvr.cgi and the fake
// main service: the answer to each result, the request and the operation-log record with its detail.
#include "e2e/page_table.h"
#include "storage/storage_codes.h"
#include "storage/storage_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// One format of `port`: the format request, then its log record whatever the outcome, with the
// port and the result (1 formatted, -1 not) in its detail block.
exchange_row format(int port, std::vector<page_script> script, const std::string &answer, int32_t logged,
                    const char *wait_ms = REPLY_WAIT_MS)
{
    format_detail detail{};
    detail.port = port;
    detail.result = logged;
    return {.request = page_get("/6102", std::to_string(port), wait_ms),
            .script = std::move(script),
            .sent = {asks(DISK_FORMAT, fms_int(port)),
                     logs(with_detail(oplog(LOG_DISK_FORMAT, port), FORMAT_DETAIL_KIND, fms_record(detail)))},
            .answer = answer};
}
}  // namespace

TEST(FormatDisk, EachResultHasItsTextAndOnlySuccessIsLoggedAsSuccess)
{
    run_exchanges({
        format(0, {replies(DISK_FORMAT, fms_int(0))}, TEXT + "OK", 1),
        format(36, {replies(DISK_FORMAT, fms_int(1))}, TEXT + "USING", -1),
        format(5, {replies(DISK_FORMAT, fms_int(-1))}, TEXT + "ERROR FORMAT", -1),
        format(12, {replies(DISK_FORMAT, fms_int(-3))}, TEXT + "NAS LOW CAP", -1),
    });
}

// No reply, a reply too short for the result, such a reply with a whole one after it (the short one
// ends the wait; the later one is not taken), or a result the page has no text for: the JSON error
// form, and a failure is logged.
TEST(FormatDisk, WithoutAWholeReplyAnswersTheJsonErrorFormAndLogsAFailure)
{
    run_exchanges({
        format(4, {}, JSON_ERROR, -1, NO_REPLY_WAIT_MS),
        format(4, {replies(DISK_FORMAT, std::string(2, '\0'))}, JSON_ERROR, -1, NO_REPLY_WAIT_MS),
        format(4, {unusable_then_whole(DISK_FORMAT, std::string(3, '\0'), fms_int(0))}, JSON_ERROR, -1),
        format(1, {replies(DISK_FORMAT, fms_int(7))}, JSON_ERROR, -1),
        format(2, {replies(DISK_FORMAT, fms_int(-2))}, JSON_ERROR, -1),
        format(3, {unusable_then_whole(DISK_FORMAT, fms_int(2), fms_int(0))}, JSON_ERROR, -1),
    });
}

// Formatting destroys a disk's contents: anything but a plain port number 0 to 36 starts nothing.
TEST(FormatDisk, OnlyAWellFormedPortStartsAFormat)
{
    run_refusals({gets("/6102", {"", "abc", "37", "-1", "port=5", " 5", "5x", "0x5", "99999999999999999999"})});
    run_exchanges({format(4, {replies(DISK_FORMAT, fms_int(0))}, TEXT + "OK", 1)});
}

TEST(FormatProgress, AnswersOkFor0To16Only)
{
    run_exchanges({
        {.request = page_get("/6103", "0"), .answer = TEXT + "OK"},
        {.request = page_get("/6103", "16"), .answer = TEXT + "OK"},
    });
    run_refusals({gets("/6103", {"17", "-1", "abc", "", "1.5"})});
}
