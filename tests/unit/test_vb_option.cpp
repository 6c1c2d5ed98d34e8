// The service commands' decoding: the option hash, the split of a request into options and its
// limits, the chip identification's parts, the factory hardware address, and what the simulated
// device does with the language request.
#include "sim/sim_dispatch.h"
#include "support/device_root.h"
#include "system/system_codes.h"
#include "system/vb_option.h"
#include "vxrt/vx_chip.h"
#include "vxrt/vx_mac_conf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
struct decoded {
    std::string name, value;
    bool operator==(const decoded &) const = default;
};

// The records of a successful split, or nothing for a refused one.
std::vector<decoded> split(const std::string &data, int count, int *rc)
{
    http_option records[HTTP_OPTION_MAX + 1];
    memset(records, 'x', sizeof records);
    *rc = ui_decodeing(data.c_str(), records, count);
    std::vector<decoded> out;
    if (*rc == 0)
        for (int i = 0; i < count; ++i)
            out.push_back({records[i].name, records[i].value});
    // Nothing is written past the records asked for.
    EXPECT_EQ(records[HTTP_OPTION_MAX].name[0], 'x') << data;
    return out;
}

std::string repeat(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}
}  // namespace

// The buckets of the nine options by h * 37 + byte (low six bits); the empty name falls in the bucket
// of "modelupdate" and must still not find it.
TEST(VbOption, HashBucketsOfTheOptions)
{
    const struct {
        const char *name;
        uint32_t bucket;
    } rows[] = {
        {"setlang", 10},  {"setdefault", 53}, {"decode", 48},      {"hotplug", 3},       {"oemclean", 32},
        {"paratest", 24}, {"chipupdate", 27}, {"modelupdate", 0}, {"softversion", 18}, {"", 0},
    };
    ASSERT_EQ(hash_table_init(), 0);
    for (const auto &row : rows) {
        EXPECT_EQ(hash_cal_value(row.name) % HTTP_OPTION_BUCKETS, row.bucket) << row.name;
        http_option record{};
        strcpy(record.name, row.name);
        const http_option_entry *entry = http_option_search(&record);
        if (row.name[0] == '\0') {
            EXPECT_EQ(entry, nullptr);
        } else {
            ASSERT_NE(entry, nullptr) << row.name;
            EXPECT_STREQ(entry->name, row.name);
        }
    }
    // Exact names only, and the 32-bit wrap-around of a long name.
    for (const char *miss : {"setlan", "setlangx", "SETLANG", "debug", "velto"}) {
        http_option record{};
        strcpy(record.name, miss);
        EXPECT_EQ(http_option_search(&record), nullptr) << miss;
    }
    EXPECT_EQ(hash_cal_value("abcdefghijklmnop"), 0xe112f5e8u);
    hash_table_destory();
    http_option record{};
    strcpy(record.name, "decode");
    EXPECT_EQ(http_option_search(&record), nullptr);  // no table, no lookup
}

// Every name and value character within the first 64 of the text, no name or value above 63
// characters, at most 64 records.
TEST(VbOption, SplitsOptionsWithinTheirLimits)
{
    const struct {
        std::string data;
        int count;
        int rc;
        std::vector<decoded> records;
    } rows[] = {
        {"decode=1&hotplug=0", 2, 0, {{"decode", "1"}, {"hotplug", "0"}}},
        {"a=&=b", 2, 0, {{"a", ""}, {"", "b"}}},
        {"a=b=c", 2, 0, {{"a", "b=c"}, {"", ""}}},  // more '=' than options: the rest are empty
        {"a=1&", 1, 0, {{"a", "1"}}},
        {"a=1&" + std::string(58, 'b') + "=2", 2, 0, {{"a", "1"}, {std::string(58, 'b'), "2"}}},
        {"a=1&" + std::string(59, 'b') + "=2", 2, -1, {}},     // the value lies at 64
        {"decode=1", 0, -1, {}},
        {"decode=1" + repeat("&=", 63), 64, 0, {}},             // checked below
        {"decode=1" + repeat("&=", 64), 65, -1, {}},            // more records than the area holds
    };
    for (const auto &row : rows) {
        int rc = 0;
        std::vector<decoded> records = split(row.data, row.count, &rc);
        EXPECT_EQ(rc, row.rc) << row.data << " count " << row.count;
        if (rc == 0 && !row.records.empty()) {
            EXPECT_EQ(records, row.records) << row.data;
        }
        if (row.count == 64 && rc == 0) {
            EXPECT_EQ(records.front(), (decoded{"decode", "1"}));
            EXPECT_EQ(records.back(), (decoded{"", ""}));
        }
    }
}

TEST(VbOption, ChipIdentificationParts)
{
    const std::string id = "CHIPCHIPCHIPCHIPMODELMODELMODELM";
    ASSERT_EQ(vx_chip_id_valid(id.c_str()), 1);
    const struct {
        size_t offset;
        const char *value;
        int rc;
        std::string after;
    } rows[] = {
        {VX_CHIP_PART, "NEW", 0, "NEW_____________MODELMODELMODELM"},
        {VX_MODEL_PART, "m-1.2_x", 0, "CHIPCHIPCHIPCHIPm-1.2_x_________"},
        {VX_MODEL_PART, "0123456789abcdef", 0, "CHIPCHIPCHIPCHIP0123456789abcdef"},
        {VX_CHIP_PART, "0123456789abcdefg", -1, id},  // longer than a part
        {VX_CHIP_PART, "", -1, id},
        {VX_CHIP_PART, "a;b", -1, id},
        {VX_CHIP_PART, "a b", -1, id},
        {VX_CHIP_PART, "$(x)", -1, id},
        {VX_MODEL_PART, "x/y", -1, id},
        {5, "x", -1, id},  // no part starts there
    };
    for (const auto &row : rows) {
        char buffer[VX_CHIP_ID_LENGTH + 1];
        strcpy(buffer, id.c_str());
        EXPECT_EQ(vx_chip_set_part(buffer, row.offset, row.value), row.rc) << row.value;
        EXPECT_EQ(buffer, row.after) << row.value;
    }
    for (const char *bad : {"", "CHIPCHIPCHIPCHIPMODELMODELMODEL", "CHIPCHIPCHIPCHIPMODELMODELMODELMM",
                            "CHIPCHIPCHIPCHIPMODELMODELMODEL;"})
        EXPECT_EQ(vx_chip_id_valid(bad), 0) << bad;
}

// The factory address file: bare or paired digits, either case, a line end; anything else is no
// address and leaves the buffer empty.
TEST(VbOption, FactoryHardwareAddress)
{
    device_root root;
    const struct {
        const char *file;  // null: no file
        int size;
        int rc;
        const char *text;
    } rows[] = {
        {"001122AABBCC", 32, 0, "001122AABBCC"},
        {"00:11:22:aa:bb:cc\n", 32, 0, "001122AABBCC"},
        {"00-11-22-aa-bb-cc  \r\n", 32, 0, "001122AABBCC"},
        {"001122aabbcc\n", 13, 0, "001122AABBCC"},
        {"001122aabbcc\n", 12, -1, ""},
        {"00:11:22:aa:bb", 32, -1, ""},
        {"00:11:22:aa:bb:cc:dd", 32, -1, ""},
        {"001122AABBCCDD", 32, -1, ""},
        {"00:11-22:aa:bb:cc", 32, -1, ""},
        {"0011:22aabbcc", 32, -1, ""},
        {"00:11:22:aa:bb:cg", 32, -1, ""},
        {"001122AABBCC junk", 32, -1, ""},
        {"", 32, -1, ""},
        {nullptr, 32, -1, ""},
    };
    for (const auto &row : rows) {
        const std::string path = root.file(VX_MAC_CONF_FILE);
        unlink(path.c_str());
        if (row.file != nullptr)
            write_file(path, row.file);
        char buffer[32];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(read_mac_conf(buffer, row.size), row.rc) << (row.file ? row.file : "(none)");
        EXPECT_STREQ(buffer, row.text) << (row.file ? row.file : "(none)");
    }
}

TEST(VbOption, SimulatedDeviceTakesTheLanguage)
{
    sim_context context;
    const int32_t first = 3, second = -1;
    sim_payload payload(sizeof first);
    memcpy(payload.data(), &first, sizeof first);
    sim_answer answer = sim_dispatch(context, SET_LANGUAGE, true, payload);
    EXPECT_TRUE(answer.known);
    EXPECT_FALSE(answer.reply);
    memcpy(payload.data(), &second, sizeof second);
    answer = sim_dispatch(context, SET_LANGUAGE, true, payload);
    EXPECT_EQ(answer.note, "set language: -1 (was 3)");
    answer = sim_dispatch(context, SET_LANGUAGE, true, sim_payload(2));
    EXPECT_EQ(answer.note, "set language: payload of 2 bytes, 4 needed");
}
