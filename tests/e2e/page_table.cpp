#include "e2e/page_table.h"

#include "support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

page_script replies(int32_t request, std::string payload, int delay_ms)
{
    return {request, fms_script().reply(reply_of(request), std::move(payload), delay_ms)};
}

page_script unusable_then_whole(int32_t request, std::string unusable, std::string whole, int delay_ms)
{
    fms_script script;
    script.reply(reply_of(request), std::move(unusable)).reply(reply_of(request), std::move(whole), delay_ms);
    return {request, std::move(script)};
}

sent_request asks(int32_t code, std::string payload)
{
    return {.code = code, .payload = std::move(payload)};
}

sent_request asks(int32_t code, size_t size, std::vector<std::pair<size_t, std::string>> parts)
{
    return {.code = code, .size = size, .parts = std::move(parts)};
}

sent_request notifies(int32_t code, std::string payload)
{
    return {.code = code, .send_only = true, .payload = std::move(payload)};
}

sent_request logs(const operation_log &record)
{
    return notifies(OPERATION_LOG, fms_record(record));
}

sent_request logs(const oplog_kind &kind, int32_t chan_no, const char *user)
{
    return logs(oplog(kind, chan_no, user));
}

operation_log oplog(const oplog_kind &kind, int32_t chan_no, const char *user)
{
    operation_log record{};
    record.main_type = kind.main_type;
    record.sub_type = kind.sub_type;
    record.parameter_type = kind.parameter_type;
    record.remote = 1;
    record.chan_no = chan_no;
    strcpy(record.ip, "127.0.0.1");
    strncpy(record.user, user, sizeof record.user - 1);
    return record;
}

operation_log with_detail(operation_log record, int32_t kind, const std::string &block)
{
    const auto length = static_cast<int32_t>(block.size());
    memcpy(record.detail, &kind, 4);
    memcpy(record.detail + 4, &length, 4);
    memcpy(record.detail + 8, block.data(), std::min(block.size(), sizeof record.detail - 8));
    record.size = 8 + length;
    return record;
}

request_rows posts(const std::string &path, std::initializer_list<std::string> bodies)
{
    request_rows rows;
    for (const std::string &body : bodies)
        rows.push_back(page_post(path, body, NO_REPLY_WAIT_MS));
    return rows;
}

request_rows gets(const std::string &path, std::initializer_list<std::string> queries)
{
    request_rows rows;
    for (const std::string &query : queries)
        rows.push_back(page_get(path, query, NO_REPLY_WAIT_MS));
    return rows;
}

namespace {
// Bytes as a reader can take them in a failure message: printable text as it is, anything else as
// hexadecimal bytes; cut after `limit` bytes.
std::string printable(const std::string &bytes, size_t limit = 160)
{
    const std::string shown = bytes.substr(0, limit);
    bool text = true;
    for (unsigned char c : shown)
        text = text && c >= 0x20 && c < 0x7f;
    std::string out;
    for (unsigned char c : shown) {
        if (text) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%02x ", c);
            out += hex;
        }
    }
    if (bytes.size() > limit)
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::string describe(size_t number, const cgi_request &request)
{
    std::string text = "row " + std::to_string(number + 1) + ": " + request.method + " " + request.path_info;
    if (!request.query.empty())
        text += "?" + printable(request.query);
    if (request.method == "POST")
        text += " body \"" + printable(request.body) + "\"";
    return text;
}

// Fails the test when two byte strings differ, showing where they first do and the bytes from
// just before that point.
void expect_bytes(const std::string &expected, const std::string &actual, const std::string &what)
{
    if (expected == actual)
        return;
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    const size_t from = at < 8 ? 0 : at - 8;
    ADD_FAILURE() << what << " differs at byte " << at << " (sizes: expected " << expected.size() << ", actual "
                  << actual.size() << "); from byte " << from
                  << ":\n  expected: " << printable(expected.substr(std::min(from, expected.size())), 32)
                  << "\n  actual:   " << printable(actual.substr(std::min(from, actual.size())), 32);
}

void expect_request(size_t index, const sent_request &expected, const fms_request &actual)
{
    const std::string which = "request " + std::to_string(index) + " (code " + std::to_string(expected.code) + ")";
    EXPECT_EQ(actual.code, expected.code) << which;
    EXPECT_EQ(actual.send_only(), expected.send_only) << which << ": send-only flag";
    if (!expected.size) {
        expect_bytes(expected.payload, actual.payload, which + ": payload");
        return;
    }
    EXPECT_EQ(actual.payload.size(), *expected.size) << which << ": payload size";
    for (const auto &[offset, bytes] : expected.parts) {
        const std::string got = offset <= actual.payload.size() ? actual.payload.substr(offset, bytes.size()) : "";
        expect_bytes(bytes, got, which + ": payload from offset " + std::to_string(offset));
    }
}

void run_exchange(size_t number, const test_root &root, fake_main_service &fms, const exchange_row &row)
{
    SCOPED_TRACE(describe(number, row.request));
    EXPECT_TRUE(fms.wait_idle()) << "the fake is still busy with an earlier request";
    if (row.setup)
        row.setup(root);
    fms.clear_scripts();
    for (const page_script &s : row.script)
        fms.script(s.request, s.script);
    const size_t before = fms.requests().size();

    cgi_result r = run_page(root, row.request);
    EXPECT_EQ(r.out, row.answer);

    // Once the fake has read every connection the program made to its end, all it sent is recorded.
    EXPECT_TRUE(fms.wait_idle()) << "a connection of the program is still open";
    std::vector<fms_request> sent = fms.requests();
    sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(std::min(before, sent.size())));
    EXPECT_EQ(sent.size(), row.sent.size()) << "requests sent to the main service";
    for (size_t i = 0; i < sent.size() && i < row.sent.size(); ++i)
        expect_request(i, row.sent[i], sent[i]);
    if (sent.size() > row.sent.size())
        ADD_FAILURE() << "first request not expected: code " << sent[row.sent.size()].code << ", payload "
                      << printable(sent[row.sent.size()].payload);

    if (row.read_state)
        expect_bytes(row.state, row.read_state(root), "what the page stored");
}

void run_refusal(size_t number, const test_root &root, fake_main_service &fms, const cgi_request &request,
                 const state_reader &read_state, const std::string &state_before)
{
    SCOPED_TRACE(describe(number, request));
    const size_t before = fms.requests().size();
    EXPECT_EQ(run_page(root, request).out, "");
    EXPECT_TRUE(fms.wait_idle()) << "a connection of the program is still open";
    EXPECT_EQ(fms.requests().size(), before) << "a refused request reached the main service";
    if (read_state)
        expect_bytes(state_before, read_state(root), "what is stored (a refused request must change nothing)");
}
}  // namespace

void expect_sent(const fms_request &actual, const sent_request &expected)
{
    expect_request(0, expected, actual);
}

void expect_logged(const fms_request &actual, const oplog_kind &kind, const char *user)
{
    expect_sent(actual, logs(kind, 0, user));
}

void run_exchanges(const std::vector<exchange_row> &rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        device_root dev;
        fake_main_service fms(dev.root);
        run_exchange(i, dev.root, fms, rows[i]);
    }
}

void run_exchanges(const test_root &root, fake_main_service &fms, const std::vector<exchange_row> &rows)
{
    for (size_t i = 0; i < rows.size(); ++i)
        run_exchange(i, root, fms, rows[i]);
}

void run_refusals(const std::vector<request_rows> &groups, const state_reader &read_state)
{
    device_root dev;
    fake_main_service fms(dev.root);
    run_refusals(dev.root, fms, groups, read_state);
}

void run_refusals(const test_root &root, fake_main_service &fms, const std::vector<request_rows> &groups,
                  const state_reader &read_state)
{
    EXPECT_TRUE(fms.wait_idle()) << "the fake is still busy with an earlier request";
    const std::string state_before = read_state ? read_state(root) : "";
    size_t number = 0;
    for (const request_rows &group : groups) {
        for (const cgi_request &request : group)
            run_refusal(number++, root, fms, request, read_state, state_before);
    }
}
