// Pages tested as rows of two shared tables, so that a new page adds rows, not a test of its own.
//
// An exchange row: the request in, what the fake main service replies, every request the program
// must have sent (exactly these, in the order it sent them) and the exact answer out:
//
//     run_exchanges({
//         {.request = page_post("/6106", R"({"port":3,"hotflag":1})"),
//          .script = {replies(HOT_SPARE_ON, fms_int(0))},
//          .sent = {asks(HOT_SPARE_ON, fms_int(3))},
//          .answer = TEXT + "OK"},
//     });
//
// A refusal row: a request the page must leave unanswered, with nothing sent to the main service and
// nothing stored changed:
//
//     run_refusals({posts("/6105", {"", "17", "[12]"})});
//
// Both report the row (its number, path and body or query) with every failure.
#pragma once

#include "e2e/pages.h"
#include "link/link_codes.h"
#include "vxrt/vx_oplog.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the fake does with one request code while a row runs. Codes without a script get no reply.
struct page_script {
    int32_t request;
    fms_script script;
};

// The fake answers `request` with its reply code (request + 5000) and `payload`.
page_script replies(int32_t request, std::string payload, int delay_ms = 0);
// An unusable reply of the right code (`unusable`, e.g. shorter than one record), then a whole one
// `delay_ms` later: a program that waits on after the first takes the second.
page_script unusable_then_whole(int32_t request, std::string unusable, std::string whole, int delay_ms = 500);

// A request the program must have sent.
struct sent_request {
    int32_t code = 0;
    bool send_only = false;
    std::string payload{};          // the whole payload, unless `size` is set
    std::optional<size_t> size{};   // a large record: its size, and the bytes `parts` puts at offsets
    std::vector<std::pair<size_t, std::string>> parts{};
};

// A request whose reply the program waits for: the whole payload, or its size and some of its bytes.
sent_request asks(int32_t code, std::string payload = {});
sent_request asks(int32_t code, size_t size, std::vector<std::pair<size_t, std::string>> parts);
// A send-only request.
sent_request notifies(int32_t code, std::string payload = {});
// An operation-log record (OPERATION_LOG, send only), the whole record.
sent_request logs(const operation_log &record);
sent_request logs(const oplog_kind &kind, int32_t chan_no = 0, const char *user = "operator");

// The operation-log record a page sends for a change by `user` through the web interface from the
// runner's address (127.0.0.1), without a detail block.
operation_log oplog(const oplog_kind &kind, int32_t chan_no = 0, const char *user = "operator");
// The record with a detail block: its kind, its length, then the block.
operation_log with_detail(operation_log record, int32_t kind, const std::string &block);

// For tests that run a page themselves: the request the fake read is the expected one.
void expect_sent(const fms_request &actual, const sent_request &expected);
// The operation-log record of `kind` (channel 0) of a change by `user`.
void expect_logged(const fms_request &actual, const oplog_kind &kind, const char *user = "operator");

// Reads what a page may have stored (a database record's bytes, a file, a parameter) as bytes.
using state_reader = std::function<std::string(const test_root &)>;

struct exchange_row {
    cgi_request request;
    // Prepares the root before the request (the test's own database connections are closed after).
    std::function<void(const test_root &)> setup{};
    std::vector<page_script> script{};
    std::vector<sent_request> sent{};
    std::string answer{};
    // When set: what the row must leave stored.
    state_reader read_state{};
    std::string state{};
};

// Each row in a fresh private root (a device_root: VX_ROOT points at it while the row runs, so not
// for a test that holds a device_root of its own) with a fake main service of its own.
void run_exchanges(const std::vector<exchange_row> &rows);
// The rows in order in one root: a row's requests are those sent while it ran, and the scripts of
// the rows before it are forgotten.
void run_exchanges(const test_root &root, fake_main_service &fms, const std::vector<exchange_row> &rows);

// Refusal rows: requests of one page with these bodies (POST) or queries (GET). They wait for a reply
// only briefly, so that a page that wrongly asks the main service fails quickly.
using request_rows = std::vector<cgi_request>;
request_rows posts(const std::string &path, std::initializer_list<std::string> bodies);
request_rows gets(const std::string &path, std::initializer_list<std::string> queries);

// Every request is left unanswered (no output at all), nothing reaches the main service, and what
// `read_state` reads is the same after each row as before the first.
void run_refusals(const std::vector<request_rows> &groups, const state_reader &read_state = {});
void run_refusals(const test_root &root, fake_main_service &fms, const std::vector<request_rows> &groups,
                  const state_reader &read_state = {});
