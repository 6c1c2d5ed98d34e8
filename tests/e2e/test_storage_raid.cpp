// RAID arrays, hot spares and the RAID mode ("/6104" to "/6109") through nvr.cgi and the fake main
// service.
#include "e2e/pages.h"

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

// Runs one page that must reach the main service with exactly one waiting request.
cgi_result exchange(const test_root &root, fake_main_service &fms, const std::string &path, const std::string &body,
                    int code, const std::string &payload)
{
    const size_t before = fms.requests().size();
    cgi_result r = run_page(root, page_post(path, body));
    std::vector<fms_request> sent = fms.requests();
    EXPECT_EQ(sent.size(), before + 1) << body;
    if (sent.size() == before + 1) {
        EXPECT_EQ(sent.back().code, code) << body;
        EXPECT_EQ(sent.back().flags, 0u) << body;
        EXPECT_EQ(sent.back().payload, payload) << body;
    }
    return r;
}

}  // namespace

TEST(CreateRaid, SendsTheMaskAsAscendingMembersAndTheCountAsGiven)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(3420, fms_script().reply(8420, fms_int(0)));
    EXPECT_EQ(exchange(root, fms, "/6104", R"({"id":10,"enable":1,"level":5,"sata_cnt":3,"sata_port":11})", 3420,
                       raid_payload(10, 1, 5, 3, {0, 1, 3}))
                  .out,
              TEXT + "OK");
    // Bits above 15 name no member; the count is not the number of bits.
    fms.script(3420, fms_script().reply(8420, fms_int(2)));
    std::vector<int32_t> all(16);
    for (int i = 0; i < 16; ++i)
        all[i] = i;
    EXPECT_EQ(exchange(root, fms, "/6104", R"({"id":15,"enable":0,"level":1,"sata_cnt":16,"sata_port":196607})", 3420,
                       raid_payload(15, 0, 1, 16, all))
                  .out,
              TEXT + "Error");
    EXPECT_EQ(exchange(root, fms, "/6104", R"({"id":12,"enable":1})", 3420, raid_payload(12, 1, 0, 0, {})).out,
              TEXT + "Error");
}

// Each page sends its request and answers from the reply's status; a removal may be answered
// under 8496.
TEST(ArrayPages, SendTheirRequestAndAnswerTheStatus)
{
    const struct {
        const char *path, *body;
        int code, reply_code, status;
        std::string payload, answer;
    } cases[] = {
        {"/6105", "16", 3421, 8421, 0, raid_payload(16, 0, 0, 0, {}), TEXT + "OK"},
        {"/6105", " \"10\"\n", 3421, 8496, 3, raid_payload(10, 0, 0, 0, {}), TEXT + "Error"},
        {"/6106", R"({"port":3,"hotflag":1})", 3423, 8423, 0, fms_int(3), TEXT + "OK"},
        {"/6106", R"({"port":4,"hotflag":0})", 3424, 8424, -2, fms_int(4), TEXT + "Error"},
        {"/6107", R"({"diskport":2,"raidport":11})", 3425, 8425, 0, ints({2, 11}), TEXT + "OK"},
    };
    for (const auto &c : cases) {
        test_root root;
        fake_main_service fms(root);
        fms.script(c.code, fms_script().reply(c.reply_code, fms_int(c.status)));
        EXPECT_EQ(exchange(root, fms, c.path, c.body, c.code, c.payload).out, c.answer) << c.path << " " << c.body;
    }
}

// Invalid bodies are not answered and never reach the main service: an array id is 10 to 16, a
// removal's body is nothing but that id.
TEST(ArrayPages, RefuseInvalidBodies)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/6104", ""},
        {"/6104", "[]"},
        {"/6104", R"({"id":16,"enable":1})"},
        {"/6104", R"({"id":9,"enable":1})"},
        {"/6104", R"({"enable":1})"},
        {"/6104", R"({"id":10})"},
        {"/6104", R"({"id":10,"enable":1,"level":-1})"},
        {"/6104", R"({"id":10,"enable":1,"sata_cnt":17})"},
        {"/6104", R"({"id":10,"enable":1,"sata_cnt":-1})"},
        {"/6104", R"({"id":10,"enable":1,"sata_port":-1})"},
        {"/6105", ""},      {"/6105", "17"},           {"/6105", "9"},     {"/6105", "12.0"},
        {"/6105", "\"12x\""}, {"/6105", "\"\""},       {"/6105", "[12]"},  {"/6105", R"({"id":12})"},
        {"/6105", "12abc"}, {"/6105", "1 6"},          {"/6105", "true"},
        {"/6106", R"({"port":4})"},
        {"/6106", R"({"hotflag":1})"},
        {"/6106", "{}"},
        {"/6107", R"({"diskport":2})"},
        {"/6107", R"({"raidport":11})"},
        {"/6107", "not json"},
    };
    test_root root;
    fake_main_service fms(root);
    for (const auto &[path, body] : cases)
        EXPECT_EQ(run_page(root, page_post(path, body)).out, "") << path << " " << body;
    EXPECT_EQ(fms.requests().size(), 0u);
}

TEST(ArrayPages, AnswerTheTextErrorFormWithoutAWholeReply)
{
    struct page {
        const char *path, *body;
        int code;
    };
    for (const page &p : {page{"/6104", R"({"id":10,"enable":1})", 3420}, page{"/6105", "11", 3421},
                          page{"/6106", R"({"port":1,"hotflag":1})", 3423},
                          page{"/6106", R"({"port":1,"hotflag":0})", 3424},
                          page{"/6107", R"({"diskport":1,"raidport":10})", 3425}}) {
        test_root root;
        fake_main_service fms(root);
        EXPECT_EQ(run_page(root, page_post(p.path, p.body, NO_REPLY_WAIT_MS)).out, TEXT_ERROR) << p.path;
        fms.script(p.code, fms_script().reply(p.code + 5000, std::string(3, '\0')));
        EXPECT_EQ(run_page(root, page_post(p.path, p.body, NO_REPLY_WAIT_MS)).out, TEXT_ERROR) << p.path;
    }
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
