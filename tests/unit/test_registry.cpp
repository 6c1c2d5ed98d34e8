// The registry of web resources: the module tables as registered at start-up, and the registry's
// own rules on a registry emptied for the test.
#include "alarm/alarm_module.h"
#include "batch/batch_module.h"
#include "camera/camera_module.h"
#include "front/dispatchreq.h"
#include "network/network_module.h"
#include "ptz/ptz_module.h"
#include "record/record_module.h"
#include "status/status_module.h"
#include "storage/storage_module.h"
#include "stream/stream_module.h"
#include "support/catalogue.h"
#include "support/device_root.h"
#include "system/system_module.h"
#include "video/video_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
// In the fixed registration order, with the catalogue's module names.
const std::pair<const char *, const web_table *> module_tables[] = {
    {"storage", &storage_table}, {"status", &status_table},   {"video", &video_table}, {"camera", &camera_table},
    {"record", &record_table},   {"network", &network_table}, {"stream", &stream_table}, {"ptz", &ptz_table},
    {"system", &system_table},   {"batch", &batch_table},     {"alarm", &alarm_table},
};

std::string slot_name(const web_res &res)
{
    return std::string(res.name, strnlen(res.name, sizeof res.name));
}
}  // namespace

TEST(RegistryCatalogue, CatalogueHoldsTheFixedCounts)
{
    const std::vector<size_t> counts = {29, 12, 109, 82, 10, 39, 33, 21, 63, 5, 18};
    const auto &catalogue = web_catalogue();
    ASSERT_EQ(catalogue.size(), counts.size());
    for (size_t m = 0; m < counts.size(); ++m) {
        EXPECT_EQ(catalogue[m].module, module_tables[m].first);
        EXPECT_EQ(catalogue[m].names.size(), counts[m]) << catalogue[m].module;
    }
    const std::vector<std::string> names = all_path_names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 421u);  // no name twice
}

// The tables registered at start-up: consecutive slots from 0 in module order, each module's records
// as its table holds them, only its own catalogue names in catalogue order, each with a handler; once
// every name exists, slot n holds catalogue name n.
TEST(RegistryCatalogue, StartUpFillsTheSlotsInModuleAndCatalogueOrder)
{
    int total = 0;
    for (const auto &[module, table] : module_tables)
        total += table->count;
    ASSERT_EQ(WebResCount(), total);

    int slot = 0;
    for (size_t m = 0; m < std::size(module_tables); ++m) {
        const auto &[module, table] = module_tables[m];
        const std::vector<std::string> &names = web_catalogue()[m].names;
        ASSERT_LE(table->count, static_cast<int>(names.size())) << module;
        size_t next = 0;
        for (int i = 0; i < table->count; ++i, ++slot) {
            const web_res &res = table->res[i];
            ASSERT_LT(strnlen(res.name, sizeof res.name), sizeof res.name) << module << " entry " << i;
            EXPECT_NE(res.handler, nullptr) << res.name;
            size_t at = next;
            while (at < names.size() && names[at] != res.name)
                ++at;
            ASSERT_LT(at, names.size()) << res.name << " is not a " << module << " name, or out of order";
            next = at + 1;

            const web_res *registered = WebResSlot(slot);
            ASSERT_NE(registered, nullptr) << "slot " << slot;
            EXPECT_STREQ(registered->name, res.name) << module;
            EXPECT_EQ(registered->handler, res.handler) << res.name;
        }
    }
    for (; slot < MAX_WEBREQ_COUNT; ++slot)
        EXPECT_EQ(WebResSlot(slot), nullptr) << "slot " << slot;

    std::vector<std::string> names = all_path_names();
    if (WebResCount() == static_cast<int>(names.size())) {
        for (int i = 0; i < WebResCount(); ++i)
            EXPECT_EQ(slot_name(*WebResSlot(i)), names[i]) << "slot " << i;
    }
}

// The session gate refuses a page without a right to everybody: every registered page must have one,
// and a module's rows name only its own pages, once each (a row for a misspelt or moved name would
// leave the real page on the default).
TEST(RegistryRights, EveryRegisteredPageHasARight)
{
    for (int slot = 0; slot < WebResCount(); ++slot) {
        ASSERT_NE(WebResSlot(slot), nullptr) << "slot " << slot;
        EXPECT_NE(WebResRight(WebResSlot(slot)->name), web_right::unset) << WebResSlot(slot)->name;
    }
    for (const auto &[module, table] : module_tables) {
        EXPECT_NE(table->default_right, web_right::unset) << module;
        std::set<std::string> seen;
        for (int i = 0; i < table->right_count; ++i) {
            const web_right_row &row = table->rights[i];
            const std::string name(row.name, strnlen(row.name, sizeof row.name));
            EXPECT_TRUE(seen.insert(name).second) << module << " names " << name << " twice";
            EXPECT_NE(row.right, web_right::unset) << name;
            bool own = false;
            for (int r = 0; r < table->count; ++r)
                own = own || name == table->res[r].name;
            EXPECT_TRUE(own) << module << " declares a right for " << name << ", which is not its page";
        }
    }
}

TEST(RegistryRights, ARowOverridesTheDefaultAndOnlyTheTablesOwnNamesHaveARight)
{
    const web_res res[] = {{"/a", nullptr}, {"/b", nullptr}, {"/123456", nullptr}};
    const web_right_row rows[] = {{"/b", web_right::none}, {"/c", web_right::admin}};
    const web_table table = {CGI_ROWS(res), nullptr, web_right::settings, CGI_ROWS(rows)};
    struct {
        const char *name;
        web_right right;
    } cases[] = {
        {"/a", web_right::settings}, {"/b", web_right::none},     {"/c", web_right::unset},
        {"/123456", web_right::settings}, {"/1234567", web_right::unset}, {"/A", web_right::unset},
        {"", web_right::unset},
    };
    for (const auto &c : cases)
        EXPECT_EQ(web_table_right(table, c.name), c.right) << c.name;
    EXPECT_EQ(web_table_right(table, nullptr), web_right::unset);

    // Names outside every module table (the test program's own resources) have none.
    EXPECT_EQ(WebResRight("/ipcw"), web_right::unset);
    EXPECT_EQ(WebResRight("/1000"), web_right::none);
    EXPECT_EQ(WebResRight("/6102"), web_right::admin);
}

namespace {
std::vector<std::string> g_calls;

void record_a(const char *data)
{
    g_calls.push_back(std::string("a:") + (data ? data : "(null)"));
}

void record_b(const char *data)
{
    g_calls.push_back(std::string("b:") + (data ? data : "(null)"));
}

// n records named "<prefix><number>" whose handler is record_a.
std::vector<web_res> numbered_table(const char *prefix, int n)
{
    std::vector<web_res> table(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        snprintf(table[i].name, sizeof table[i].name, "%s%d", prefix, i);
        table[i].handler = record_a;
    }
    return table;
}
}  // namespace

// Takes every registered record out for the test and puts them back, in their slots, afterwards.
class EmptyRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        for (int slot = 0; slot < MAX_WEBREQ_COUNT; ++slot) {
            if (const web_res *res = WebResSlot(slot)) {
                ASSERT_EQ(slot, static_cast<int>(saved_.size())) << "start-up left a gap";
                saved_.push_back(*res);
            }
        }
        if (!saved_.empty()) {
            ASSERT_EQ(WebResUnregister(saved_.data(), static_cast<int>(saved_.size())), 0);
        }
        ASSERT_EQ(WebResCount(), 0);
    }

    void TearDown() override
    {
        for (int slot = 0; slot < MAX_WEBREQ_COUNT; ++slot) {
            if (const web_res *res = WebResSlot(slot)) {
                web_res copy = *res;
                WebResUnregister(&copy, 1);
            }
        }
        if (!saved_.empty()) {
            EXPECT_EQ(WebResRegister(saved_.data(), static_cast<int>(saved_.size())), 0);
        }
        EXPECT_EQ(WebResCount(), static_cast<int>(saved_.size()));
    }

    std::string log() const { return read_file(root_.file("/mnt/nand/cgi_log.txt")); }

    device_root root_;
    std::vector<web_res> saved_;
};

TEST_F(EmptyRegistry, AtMost511ResourcesFitAndATableThatDoesNotFitIsRefusedWhole)
{
    std::vector<web_res> modules = numbered_table("/m", 421);
    std::vector<web_res> too_many = numbered_table("/x", 91);
    std::vector<web_res> fits = numbered_table("/y", 90);
    ASSERT_EQ(WebResRegister(modules.data(), 421), 0);
    EXPECT_EQ(log(), "");

    EXPECT_EQ(WebResRegister(too_many.data(), 91), -1);
    EXPECT_EQ(WebResCount(), 421);
    EXPECT_EQ(FindWebRes("/x0"), nullptr);
    const std::string line = log();
    EXPECT_EQ(line.rfind("[kelp debug] ", 0), 0u) << line;
    const std::string tail = "  dispatchreq:62 in : [tarn debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)\n";
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line

    EXPECT_EQ(WebResRegister(fits.data(), 90), 0);
    EXPECT_EQ(WebResCount(), 511);
    ASSERT_NE(WebResSlot(510), nullptr);
    EXPECT_STREQ(WebResSlot(510)->name, "/y89");
    EXPECT_STREQ(WebResSlot(421)->name, "/y0");
    EXPECT_EQ(WebResSlot(511), nullptr);

    // The last slot never fills.
    web_res one = {"/z", record_b};
    EXPECT_EQ(WebResRegister(&one, 1), -1);
    EXPECT_EQ(WebResCount(), 511);
}

TEST_F(EmptyRegistry, NullTablesAndCountsBelowOneAreRefused)
{
    web_res one = {"/a", record_a};
    EXPECT_EQ(WebResRegister(nullptr, 1), -1);
    EXPECT_EQ(WebResRegister(&one, 0), -1);
    EXPECT_EQ(WebResRegister(&one, -1), -1);
    EXPECT_EQ(WebResCount(), 0);

    ASSERT_EQ(WebResRegister(&one, 1), 0);
    EXPECT_EQ(WebResUnregister(nullptr, 1), -1);
    EXPECT_EQ(WebResUnregister(&one, 0), -1);
    EXPECT_EQ(WebResUnregister(&one, -5), -1);
    EXPECT_EQ(WebResCount(), 1);

    EXPECT_EQ(FindWebRes(nullptr), nullptr);
    DispatchWebReq(nullptr, "data");
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(log(), "");  // refusals of bad arguments are not logged
}

TEST_F(EmptyRegistry, DuplicateNamesTakeTwoSlotsAndTheLowestServes)
{
    web_res first = {"/d", record_a};
    web_res second = {"/d", record_b};
    ASSERT_EQ(WebResRegister(&first, 1), 0);
    ASSERT_EQ(WebResRegister(&second, 1), 0);
    EXPECT_EQ(WebResCount(), 2);
    EXPECT_EQ(WebResSlot(1)->handler, record_b);
    DispatchWebReq("/d", "x");
    EXPECT_EQ(g_calls, std::vector<std::string>{"a:x"});

    // One name unregisters both.
    EXPECT_EQ(WebResUnregister(&second, 1), 0);
    EXPECT_EQ(WebResCount(), 0);
    DispatchWebReq("/d", "x");
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(EmptyRegistry, UnregisteredSlotsAreReusedFromTheLowest)
{
    std::vector<web_res> a = numbered_table("/a", 3);
    std::vector<web_res> b = numbered_table("/b", 2);
    std::vector<web_res> c = numbered_table("/c", 4);
    ASSERT_EQ(WebResRegister(a.data(), 3), 0);
    ASSERT_EQ(WebResRegister(b.data(), 2), 0);
    ASSERT_EQ(WebResUnregister(a.data(), 3), 0);
    EXPECT_EQ(WebResCount(), 2);
    for (int slot : {0, 1, 2})
        EXPECT_EQ(WebResSlot(slot), nullptr);
    DispatchWebReq("/a1", "gone");
    EXPECT_TRUE(g_calls.empty());

    ASSERT_EQ(WebResRegister(c.data(), 4), 0);
    const char *expected[] = {"/c0", "/c1", "/c2", "/b0", "/b1", "/c3"};
    for (int slot = 0; slot < 6; ++slot) {
        ASSERT_NE(WebResSlot(slot), nullptr);
        EXPECT_STREQ(WebResSlot(slot)->name, expected[slot]);
    }
    EXPECT_EQ(WebResCount(), 6);

    // A name that is not registered unregisters nothing.
    web_res other = {"/q", record_a};
    EXPECT_EQ(WebResUnregister(&other, 1), 0);
    EXPECT_EQ(WebResCount(), 6);
}

TEST_F(EmptyRegistry, DispatchMatchesTheWholeNameExactly)
{
    const web_res table[] = {{"/6100", record_a}, {"/vb.htm", record_b}, {"/dw.cgi", record_a}};
    ASSERT_EQ(WebResRegister(table, 3), 0);

    for (const char *miss : {"/6100/", "/6100 ", "/610", "6100", "/61000", "/VB.HTM", "/vb.htm?", "/vb.ht", ""})
        DispatchWebReq(miss, "miss");
    EXPECT_TRUE(g_calls.empty());

    const char *data = "portId=3";
    DispatchWebReq("/6100", data);
    DispatchWebReq("/vb.htm", "");
    DispatchWebReq("/dw.cgi", nullptr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"a:portId=3", "b:", "a:(null)"}));
    EXPECT_EQ(FindWebRes("/vb.htm"), WebResSlot(1));
}
