// The simulator's lookup of a request in its module tables: routines first, then canned replies, then
// nothing; a send-only request never gets a frame back.
#include "sim/sim_dispatch.h"
#include "support/fake_main_service.h"
#include "support/raid_requests.h"

#include "storage/storage_codes.h"
#include "storage/storage_records.h"
#include "system/system_codes.h"
#include "vxrt/vx_oplog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

namespace {
constexpr int32_t STATEFUL = 7100;
constexpr int32_t SHADOWED = 7101;      // a routine and, in a later module, a canned row
constexpr int32_t CANNED_RECORD = 7200;
constexpr int32_t CANNED_TEXT = 7201;
constexpr int32_t CANNED_ODD_REPLY = 7202;  // a reply code outside the +5000 rule
constexpr int32_t UNKNOWN = 7999;

void on_stateful(sim_context &, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    sim_reply_int(answer, code, static_cast<int32_t>(payload.size()));
    answer.note = "routine";
}

const sim_request test_requests[] = {{STATEFUL, on_stateful}, {SHADOWED, on_stateful}};

const disk_settings canned_record = {3, 1, 7, 0};
const sim_canned test_canned[] = {
    {CANNED_RECORD, reply_of(CANNED_RECORD), sim_bytes_of(canned_record)},
    {CANNED_TEXT, reply_of(CANNED_TEXT), {"OK", 2}},
    {CANNED_ODD_REPLY, 8496, {"\x01\x00\x00\x00", 4}},
    {SHADOWED, reply_of(SHADOWED), {"canned", 6}},
};

const sim_module routines_module = {"routines", test_requests, {}};
const sim_module canned_module = {"canned", {}, test_canned};
const sim_module *const test_modules[] = {&routines_module, &canned_module};

std::string int_bytes(int32_t value)
{
    return fms_record(value);
}

struct lookup_row {
    const char *what;
    int32_t code;
    bool send_only;
    std::string payload;
    bool known;
    bool reply;
    int32_t reply_code;
    std::string reply_payload;
    std::string note;
};
}  // namespace

TEST(sim_dispatch, LooksUpRoutinesThenCannedRepliesAndAnswersSendOnlyWithNothing)
{
    const lookup_row rows[] = {
        {"routine", STATEFUL, false, "abc", true, true, reply_of(STATEFUL), int_bytes(3), "routine"},
        {"routine, send-only", STATEFUL, true, "abc", true, false, 0, "", "routine (send-only: no reply)"},
        {"routine before canned", SHADOWED, false, "", true, true, reply_of(SHADOWED), int_bytes(0), "routine"},
        {"canned record", CANNED_RECORD, false, "ignored", true, true, reply_of(CANNED_RECORD),
         fms_record(canned_record), "canned reply 12200: 16 bytes"},
        {"canned text", CANNED_TEXT, false, "", true, true, reply_of(CANNED_TEXT), "OK", "canned reply 12201: 2 bytes"},
        {"canned, own reply code", CANNED_ODD_REPLY, false, "", true, true, 8496, int_bytes(1),
         "canned reply 8496: 4 bytes"},
        {"canned, send-only", CANNED_TEXT, true, "", true, false, 0, "",
         "canned reply 12201: 2 bytes (send-only: no reply)"},
        {"unknown", UNKNOWN, false, "abc", false, false, 0, "", "unknown code: no reply"},
        {"unknown, send-only", UNKNOWN, true, "", false, false, 0, "", "unknown code: no reply"},
    };
    sim_context context;
    for (const lookup_row &row : rows) {
        sim_payload payload(row.payload.begin(), row.payload.end());
        sim_answer answer = sim_serve(test_modules, context, row.code, row.send_only, payload);
        EXPECT_EQ(answer.known, row.known) << row.what;
        EXPECT_EQ(answer.reply, row.reply) << row.what;
        EXPECT_EQ(answer.note, row.note) << row.what;
        if (row.reply) {
            EXPECT_EQ(answer.code, row.reply_code) << row.what;
            EXPECT_EQ(answer.payload, row.reply_payload) << row.what;
        }
    }
}

// The served tables: each code has one row, so no canned row or later module silently loses to
// another; and the program's codes reach the routines that keep the device's state.
TEST(sim_dispatch, ServedCodesHaveOneRowEach)
{
    std::set<int32_t> seen;
    for (const sim_module *module : sim_served_modules()) {
        for (const sim_request &row : module->requests)
            EXPECT_TRUE(seen.insert(row.code).second) << module->name << " serves " << row.code << " again";
        for (const sim_canned &row : module->canned)
            EXPECT_TRUE(seen.insert(row.request).second) << module->name << " cans " << row.request << " again";
    }
    EXPECT_FALSE(seen.empty());
}

TEST(sim_dispatch, ProgramCodesReachTheDeviceRoutines)
{
    sim_device device(42, sim_timing{1000, 4000});
    sim_context context;
    context.device = &device;
    context.mail_token = "a16d35b650954358";
    auto ask = [&](int32_t code, const std::string &payload, bool send_only = false) {
        return sim_dispatch(context, code, send_only, sim_payload(payload.begin(), payload.end()));
    };

    sim_answer list = ask(DISK_LIST, "");
    EXPECT_EQ(list.code, reply_of(DISK_LIST));
    EXPECT_EQ(list.payload.size(), 4 * sizeof(disk_status));

    struct row {
        int32_t code;
        std::string payload;
        int32_t result;
        const char *note;
    };
    const row rows[] = {
        {DISK_FORMAT, int_bytes(2), SIM_FORMAT_OK, "format port 2: result 0 after 1000 ms"},
        {DISK_FORMAT, int_bytes(2), SIM_FORMAT_USING, "format port 2: result 1"},
        {DISK_FORMAT, "", SIM_FORMAT_NO_DISK, "format port -1: result -1"},
        {RAID_CREATE, fms_record(make_raid_request(10, 1, {3, 4})), SIM_RAID_OK,
         "create RAID 10: enable 1 level 1 count 2 members 3,4: result 0"},
        {RAID_REMOVE, fms_record(make_raid_request(11, 0, {})), SIM_RAID_BAD_ID, "remove RAID 11: result 1"},
        {HOT_SPARE_ON, int_bytes(1), SIM_RAID_OK, "hot spare on port 1: result 0"},
        {HOT_SPARE_OFF, int_bytes(1), SIM_RAID_OK, "hot spare off port 1: result 0"},
        {HOT_SPARE_OFF, int_bytes(1), SIM_RAID_BAD_ID, "hot spare off port 1: result 1"},
        {RAID_REBUILD, fms_record(rebuild_request{1, 10}), SIM_RAID_OK, "rebuild RAID 10 onto port 1: result 0"},
        {MAIL_LINK_CHECK, "token=a16d35b650954358" + std::string(234, '\0'), 0,
         "login from e-mail link \"token=a16d35b650954358\": valid (0)"},
    };
    for (const row &r : rows) {
        sim_answer answer = ask(r.code, r.payload);
        EXPECT_TRUE(answer.reply) << r.note;
        EXPECT_EQ(answer.code, reply_of(r.code)) << r.note;
        EXPECT_EQ(answer.payload, int_bytes(r.result)) << r.note;
        EXPECT_EQ(answer.note, r.note);
    }

    // Send-only requests change the state and log, but answer nothing.
    sim_answer settings = ask(DISK_SETTINGS, fms_record(disk_settings{2, 1, 5, 0}), true);
    EXPECT_FALSE(settings.reply);
    EXPECT_EQ(settings.note, "disk settings: port 2 property 1 group 5 private 0");
    EXPECT_EQ(device.disk_list()[1].group, 5);  // port 2
    operation_log record{};
    record.main_type = 4;
    sim_answer logged = ask(OPERATION_LOG_MASK, fms_record(operation_log_mask{record, 5}), true);
    EXPECT_FALSE(logged.reply);
    EXPECT_EQ(logged.note.rfind("operation log: main 4 ", 0), 0u) << logged.note;
    EXPECT_NE(logged.note.find(" channels 0x0000000000000005"), std::string::npos) << logged.note;
    EXPECT_EQ(ask(OPERATION_LOG, "").note, "operation log: payload of 0 bytes, 680 needed");
}
