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

// Invalid bodies are not answered and never reach the main service.
void expect_refused(const test_root &root, const fake_main_service &fms, const std::string &path,
                    const std::vector<std::string> &bodies)
{
    for (const std::string &body : bodies)
        EXPECT_EQ(run_page(root, page_post(path, body)).out, "") << path << " " << body;
    EXPECT_EQ(fms.requests().size(), 0u) << path;
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

TEST(CreateRaid, RefusesInvalidInput)
{
    test_root root;
    fake_main_service fms(root);
    expect_refused(root, fms, "/6104",
                   {"", "[]", R"({"id":16,"enable":1})", R"({"id":9,"enable":1})", R"({"enable":1})",
                    R"({"id":10})", R"({"id":10,"enable":1,"level":-1})", R"({"id":10,"enable":1,"sata_cnt":17})",
                    R"({"id":10,"enable":1,"sata_cnt":-1})", R"({"id":10,"enable":1,"sata_port":-1})"});
}

TEST(RemoveRaid, TakesOneIdAsItsBody)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(3421, fms_script().reply(8421, fms_int(0)));
    EXPECT_EQ(exchange(root, fms, "/6105", "16", 3421, raid_payload(16, 0, 0, 0, {})).out, TEXT + "OK");
    // The main service may answer a removal under 8496.
    fms.script(3421, fms_script().reply(8496, fms_int(3)));
    EXPECT_EQ(exchange(root, fms, "/6105", " \"10\"\n", 3421, raid_payload(10, 0, 0, 0, {})).out, TEXT + "Error");
}

TEST(RemoveRaid, RefusesAnythingButAnIdFrom10To16)
{
    test_root root;
    fake_main_service fms(root);
    expect_refused(root, fms, "/6105",
                   {"", "17", "9", "12.0", "\"12x\"", "\"\"", "[12]", R"({"id":12})", "12abc", "1 6", "true"});
}

TEST(HotSpare, FlagChoosesBetweenAddingAndReleasing)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(3423, fms_script().reply(8423, fms_int(0)));
    fms.script(3424, fms_script().reply(8424, fms_int(-2)));
    EXPECT_EQ(exchange(root, fms, "/6106", R"({"port":3,"hotflag":1})", 3423, fms_int(3)).out, TEXT + "OK");
    EXPECT_EQ(exchange(root, fms, "/6106", R"({"port":4,"hotflag":0})", 3424, fms_int(4)).out, TEXT + "Error");
}

TEST(RebuildRaid, SendsDiskAndArray)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(3425, fms_script().reply(8425, fms_int(0)));
    EXPECT_EQ(exchange(root, fms, "/6107", R"({"diskport":2,"raidport":11})", 3425, ints({2, 11})).out, TEXT + "OK");
}

TEST(ArrayPages, RefuseMissingMembers)
{
    test_root root;
    fake_main_service fms(root);
    expect_refused(root, fms, "/6106", {R"({"port":4})", R"({"hotflag":1})", "{}"});
    expect_refused(root, fms, "/6107", {R"({"diskport":2})", R"({"raidport":11})", "not json"});
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
