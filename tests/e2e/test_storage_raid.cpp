// RAID arrays, hot spares and the RAID mode ("/6104" to "/6109") through nvr.cgi and the fake main
// service.
#include "e2e/page_table.h"
#include "storage/storage_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// The 104-byte create/remove payload: id, enable, level, 8 zero bytes, count, 16 members, 16 zero bytes.
std::string raid_payload(int id, int enable, int level, int count, const std::vector<int32_t> &members)
{
    std::string bytes = ints({id, enable, level, 0, 0, count});
    for (int i = 0; i < 16; ++i)
        bytes += fms_int(i < static_cast<int>(members.size()) ? members[i] : 0);
    return bytes + ints({0, 0, 0, 0});
}

std::vector<int32_t> ports_0_to_15()
{
    std::vector<int32_t> all(16);
    for (int i = 0; i < 16; ++i)
        all[i] = i;
    return all;
}

exchange_row create(const char *body, int32_t status, const std::string &payload, const char *answer)
{
    return {.request = page_post("/6104", body),
            .script = {replies(RAID_CREATE, fms_int(status))},
            .sent = {asks(RAID_CREATE, payload)},
            .answer = TEXT + answer};
}
}  // namespace

// The member ports are ports 0..15 of the mask in ascending order; the count is passed on as given.
TEST(CreateRaid, SendsTheMaskAsAscendingMembersAndTheCountAsGiven)
{
    run_exchanges({
        create(R"({"id":10,"enable":1,"level":5,"sata_cnt":3,"sata_port":11})", 0, raid_payload(10, 1, 5, 3, {0, 1, 3}),
               "OK"),
        // Bits above 15 name no member; the count is not the number of bits.
        create(R"({"id":15,"enable":0,"level":1,"sata_cnt":16,"sata_port":196607})", 2,
               raid_payload(15, 0, 1, 16, ports_0_to_15()), "Error"),
        // Bit 16 alone beside port 1: port 16 is no member (a mask read one bit too far would add it).
        create(R"({"id":11,"enable":1,"level":1,"sata_cnt":2,"sata_port":65538})", 0, raid_payload(11, 1, 1, 2, {1}),
               "OK"),
        create(R"({"id":12,"enable":1})", 2, raid_payload(12, 1, 0, 0, {}), "Error"),
    });
}

// Each page sends its request and answers from the reply's status; a removal may be answered
// under RAID_REMOVED.
TEST(ArrayPages, SendTheirRequestAndAnswerTheStatus)
{
    run_exchanges({
        {.request = page_post("/6105", "16"),
         .script = {replies(RAID_REMOVE, fms_int(0))},
         .sent = {asks(RAID_REMOVE, raid_payload(16, 0, 0, 0, {}))},
         .answer = TEXT + "OK"},
        {.request = page_post("/6105", " \"10\"\n"),
         .script = {{RAID_REMOVE, fms_script().reply(RAID_REMOVED, fms_int(3))}},
         .sent = {asks(RAID_REMOVE, raid_payload(10, 0, 0, 0, {}))},
         .answer = TEXT + "Error"},
        {.request = page_post("/6106", R"({"port":3,"hotflag":1})"),
         .script = {replies(HOT_SPARE_ON, fms_int(0))},
         .sent = {asks(HOT_SPARE_ON, fms_int(3))},
         .answer = TEXT + "OK"},
        {.request = page_post("/6106", R"({"port":4,"hotflag":0})"),
         .script = {replies(HOT_SPARE_OFF, fms_int(-2))},
         .sent = {asks(HOT_SPARE_OFF, fms_int(4))},
         .answer = TEXT + "Error"},
        {.request = page_post("/6107", R"({"diskport":2,"raidport":11})"),
         .script = {replies(RAID_REBUILD, fms_int(0))},
         .sent = {asks(RAID_REBUILD, ints({2, 11}))},
         .answer = TEXT + "OK"},
    });
}

// Invalid bodies are not answered and never reach the main service: an array id is 10 to 16, a
// removal's body is nothing but that id.
TEST(ArrayPages, RefuseInvalidBodies)
{
    run_refusals({
        posts("/6104", {"", "[]", R"({"id":16,"enable":1})", R"({"id":9,"enable":1})", R"({"enable":1})",
                        R"({"id":10})", R"({"id":10,"enable":1,"level":-1})", R"({"id":10,"enable":1,"sata_cnt":17})",
                        R"({"id":10,"enable":1,"sata_cnt":-1})", R"({"id":10,"enable":1,"sata_port":-1})"}),
        posts("/6105", {"", "17", "9", "12.0", "\"12x\"", "\"\"", "[12]", R"({"id":12})", "12abc", "1 6", "true"}),
        posts("/6106", {R"({"port":4})", R"({"hotflag":1})", "{}"}),
        posts("/6107", {R"({"diskport":2})", R"({"raidport":11})", "not json"}),
    });
}

// Without a whole reply the text error form: no reply at all, a reply too short for the status, and
// a short reply followed by a whole one (the short one ends the wait; the later one is not taken).
TEST(ArrayPages, AnswerTheTextErrorFormWithoutAWholeReply)
{
    struct page {
        const char *path, *body;
        int32_t code;
        std::string payload;
    };
    const page pages[] = {
        {"/6104", R"({"id":10,"enable":1})", RAID_CREATE, raid_payload(10, 1, 0, 0, {})},
        {"/6105", "11", RAID_REMOVE, raid_payload(11, 0, 0, 0, {})},
        {"/6106", R"({"port":1,"hotflag":1})", HOT_SPARE_ON, fms_int(1)},
        {"/6106", R"({"port":1,"hotflag":0})", HOT_SPARE_OFF, fms_int(1)},
        {"/6107", R"({"diskport":1,"raidport":10})", RAID_REBUILD, ints({1, 10})},
    };
    std::vector<exchange_row> rows;
    for (const page &p : pages) {
        const sent_request sent = asks(p.code, p.payload);
        rows.push_back({.request = page_post(p.path, p.body, NO_REPLY_WAIT_MS), .sent = {sent}, .answer = TEXT_ERROR});
        rows.push_back({.request = page_post(p.path, p.body, NO_REPLY_WAIT_MS),
                        .script = {replies(p.code, std::string(3, '\0'))},
                        .sent = {sent},
                        .answer = TEXT_ERROR});
        rows.push_back({.request = page_post(p.path, p.body),
                        .script = {unusable_then_whole(p.code, std::string(3, '\0'), fms_int(0))},
                        .sent = {sent},
                        .answer = TEXT_ERROR});
    }
    run_exchanges(rows);
}

TEST(RaidMode, StoresZeroForAnythingButOne)
{
    test_root root;
    auto mode = [&] { return run_page(root, page_get("/6108", "")).out; };
    auto set = [&](const char *query) { return run_page(root, page_get("/6109", query)).out; };
    EXPECT_EQ(mode(), TEXT + "0");
    for (const char *other : {"5", "abc", "", "1x", "-1"}) {
        EXPECT_EQ(set("1"), TEXT + "OK");
        EXPECT_EQ(mode(), TEXT + "1");
        EXPECT_EQ(set(other), TEXT + "OK");
        EXPECT_EQ(mode(), TEXT + "0") << other;
    }
    EXPECT_EQ(run_program(root, {std::string(NVR_BIN_DIR) + "/vxdb", "get", "raidmode"}).out, "0\n");
}
