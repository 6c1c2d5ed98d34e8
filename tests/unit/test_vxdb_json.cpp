#include "tables/vxdb_example_kind.h"
#include "vxdb/vxdb_json.h"
#include "vxdb_fixture.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {
struct json_release {
    void operator()(json_object *object) const { json_object_put(object); }
};
using json_ptr = std::unique_ptr<json_object, json_release>;

std::string text(json_object *object)
{
    return object ? json_object_to_json_string_ext(object, JSON_C_TO_STRING_PLAIN) : "(null)";
}

json_ptr parse(const char *json)
{
    return json_ptr(json_tokener_parse(json));
}

example_rec sample()
{
    example_rec rec;
    memset(&rec, 0, sizeof rec);
    rec.channel = 3;
    rec.enable = 1;
    strcpy(rec.name, "front");
    strcpy(rec.labels[0], "a");
    strcpy(rec.labels[1], "bb");
    rec.mask = UINT64_MAX;
    rec.offset = -5;
    rec.level = -2;
    rec.flag = 255;
    rec.area[0] = 0x0a;
    rec.area[1] = 0x0b;
    rec.area[2] = 0xff;
    rec.zones[0] = 1;
    rec.zones[1] = 2;
    rec.ratio = 0.5;
    strcpy(rec.slots[0][0].start, "00:00");
    strcpy(rec.slots[0][0].end, "12:00");
    rec.slots[0][0].action = 1;
    return rec;
}

std::string from_json_error(const char *json)
{
    example_rec rec;
    std::string error;
    json_ptr object = parse(json);
    if (vxdb_record_from_json(example_kind, object.get(), &rec, &error) == 0)
        return "accepted";
    return error;
}
}  // namespace

TEST(vxdb_json, RecordBecomesAnObjectNamedAfterTheStructFields)
{
    example_rec rec = sample();
    json_ptr object(vxdb_record_to_json(example_kind, &rec));
    const char *empty_slot = R"({"start":"","end":"","action":0})";
    EXPECT_EQ(text(object.get()),
              std::string(R"({"channel":3,"enable":1,"name":"front","labels":["a","bb"],)") +
                  R"("mask":18446744073709551615,"offset":-5,"level":-2,"flag":255,"area":"0a0bff00",)" +
                  R"("zones":[1,2,0],"ratio":0.5,"slots":[[{"start":"00:00","end":"12:00","action":1},)" +
                  empty_slot + "],[" + empty_slot + "," + empty_slot + "]]}");
}

TEST(vxdb_json, ObjectBecomesTheSameRecordAgain)
{
    example_rec rec = sample();
    memset(rec.name, 'n', sizeof rec.name);  // a full text field has no terminator
    memset(rec.labels[1], 'l', sizeof rec.labels[1]);
    rec.ratio = 0.1;
    rec.offset = INT64_MIN;
    rec.slots[1][1].action = -7;
    json_ptr object(vxdb_record_to_json(example_kind, &rec));
    example_rec back;
    memset(&back, 0x5a, sizeof back);
    std::string error;
    ASSERT_EQ(vxdb_record_from_json(example_kind, object.get(), &back, &error), 0) << error;
    EXPECT_EQ(memcmp(&back, &rec, sizeof rec), 0);
}

TEST(vxdb_json, MembersLeftOutOrNullStayZero)
{
    json_ptr object = parse(R"({"channel":2,"zones":[7],"name":null,"slots":[null,[null,{"action":4}]]})");
    example_rec rec, expected;
    memset(&rec, 0x5a, sizeof rec);
    memset(&expected, 0, sizeof expected);
    expected.channel = 2;
    expected.zones[0] = 7;
    expected.slots[1][1].action = 4;
    std::string error;
    ASSERT_EQ(vxdb_record_from_json(example_kind, object.get(), &rec, &error), 0) << error;
    EXPECT_EQ(memcmp(&rec, &expected, sizeof rec), 0);
}

TEST(vxdb_json, MistakesAreRefusedWithTheirPlace)
{
    EXPECT_EQ(from_json_error(R"({"nosuch":1})"), "nosuch: no such field");
    EXPECT_EQ(from_json_error(R"({"enable":"1"})"), "enable: not an integer");
    EXPECT_EQ(from_json_error(R"({"ratio":"x"})"), "ratio: not a number");
    EXPECT_EQ(from_json_error(R"({"level":32767,"flag":255})"), "accepted");
    EXPECT_EQ(from_json_error(R"({"level":32768})"), "level: out of range");
    EXPECT_EQ(from_json_error(R"({"level":-32769})"), "level: out of range");
    EXPECT_EQ(from_json_error(R"({"flag":-1})"), "flag: out of range");
    EXPECT_EQ(from_json_error(R"({"enable":2147483648})"), "enable: out of range");
    EXPECT_EQ(from_json_error(R"({"mask":-1})"), "mask: out of range");
    EXPECT_EQ(from_json_error(R"({"offset":9223372036854775808})"), "offset: out of range");
    EXPECT_EQ(from_json_error(R"({"name":"123456789012345678901234567890123"})"), "name: text longer than the field");
    EXPECT_EQ(from_json_error(R"({"labels":["ok","123456789"]})"), "labels[1]: text longer than the field");
    EXPECT_EQ(from_json_error(R"({"zones":[1,2,3,4]})"), "zones: more elements than the field holds");
    EXPECT_EQ(from_json_error(R"({"zones":{"a":1}})"), "zones: not an array");
    EXPECT_EQ(from_json_error(R"({"area":"0g"})"), "area: not a hex string");
    EXPECT_EQ(from_json_error(R"({"area":"abc"})"), "area: hex string of the wrong length");
    EXPECT_EQ(from_json_error(R"({"area":"0a0b0c0d0e"})"), "area: hex string of the wrong length");
    EXPECT_EQ(from_json_error(R"({"slots":[[{"when":1}]]})"), "slots[0][0].when: no such field");
    EXPECT_EQ(from_json_error(R"({"slots":[[{"start":5}]]})"), "slots[0][0].start: not a string");
    EXPECT_EQ(from_json_error(R"([1])"), "record: not an object");
}

using vxdb_dump_load = vxdb_test;

TEST_F(vxdb_dump_load, LoadThenDumpGivesTheRecordsInIndexOrder)
{
    json_ptr data = parse(R"([{"channel":9,"name":"nine"},{"channel":1,"name":"one","zones":[5]}])");
    std::string error;
    ASSERT_EQ(vxdb_load(VXDB_MAIN_DB, example_kind, data.get(), &error), 2) << error;

    json_ptr all(vxdb_dump(VXDB_MAIN_DB, example_kind, VXDB_ALL));
    ASSERT_TRUE(all);
    ASSERT_EQ(json_object_array_length(all.get()), 2u);
    EXPECT_EQ(text(json_object_object_get(json_object_array_get_idx(all.get(), 0), "name")), "\"one\"");
    EXPECT_EQ(text(json_object_object_get(json_object_array_get_idx(all.get(), 1), "name")), "\"nine\"");

    json_ptr one(vxdb_dump(VXDB_MAIN_DB, example_kind, 1));
    EXPECT_EQ(text(json_object_object_get(one.get(), "zones")), "[5,0,0]");
    EXPECT_EQ(vxdb_dump(VXDB_MAIN_DB, example_kind, 2), nullptr);

    // What dump writes, load takes back unchanged.
    json_ptr again(vxdb_dump(VXDB_MAIN_DB, example_kind, VXDB_ALL));
    ASSERT_EQ(vxdb_load(VXDB_MAIN_DB, example_kind, again.get(), &error), 2) << error;
    json_ptr after(vxdb_dump(VXDB_MAIN_DB, example_kind, VXDB_ALL));
    EXPECT_EQ(text(after.get()), text(all.get()));
}

TEST_F(vxdb_dump_load, ABadRecordStopsTheWholeLoad)
{
    std::string error;
    json_ptr range = parse(R"([{"channel":2},{"channel":64}])");
    EXPECT_EQ(vxdb_load(VXDB_MAIN_DB, example_kind, range.get(), &error), -1);
    EXPECT_EQ(error, "record 1: index 64 out of range 0..63");
    json_ptr typo = parse(R"([{"channel":2},{"chanel":3}])");
    EXPECT_EQ(vxdb_load(VXDB_MAIN_DB, example_kind, typo.get(), &error), -1);
    EXPECT_EQ(error, "record 1: chanel: no such field");
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 0);
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));
}

// A load is all or nothing: whatever refuses its last record (the check, or the database itself),
// the records stored before stay as they were and none of the load's first records is stored.
TEST_F(vxdb_dump_load, ALoadRefusedAtItsLastRecordLeavesTheDatabaseAsItWas)
{
    std::string error;
    json_ptr before_load = parse(R"([{"channel":1,"name":"one"},{"channel":2,"name":"two"}])");
    ASSERT_EQ(vxdb_load(VXDB_MAIN_DB, example_kind, before_load.get(), &error), 2) << error;
    const std::string before = text(json_ptr(vxdb_dump(VXDB_MAIN_DB, example_kind, VXDB_ALL)).get());
    {  // the database refuses the record of index 7
        vxdb_close_all();
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TRIGGER no_seven BEFORE INSERT ON records"
                               " WHEN NEW.kind = 'example' AND NEW.idx = 7 BEGIN SELECT RAISE(ABORT, 'full'); END",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const struct {
        const char *what;
        const char *json;
        bool locked;
        const char *error;
    } rows[] = {
        {"a misspelt member", R"([{"channel":1,"name":"new"},{"channel":5},{"chanel":3}])", false,
         "record 2: chanel: no such field"},
        {"an index out of range", R"([{"channel":1,"name":"new"},{"channel":5},{"channel":64}])", false,
         "record 2: index 64 out of range 0..63"},
        {"a write the database refuses", R"([{"channel":1,"name":"new"},{"channel":2,"name":"new"},{"channel":7}])",
         false, "cannot write the database"},
        {"the database locked", R"([{"channel":1,"name":"new"},{"channel":5}])", true, "cannot write the database"},
    };
    for (const auto &row : rows) {
        json_ptr data = parse(row.json);
        ASSERT_TRUE(data) << row.what;
        int stored;
        vxdb_close_all();
        vxdb_set_busy_timeout_ms(100);
        if (row.locked) {
            lock_holder holder(file(VXDB_MAIN_DB));
            stored = vxdb_load(VXDB_MAIN_DB, example_kind, data.get(), &error);
        } else {
            stored = vxdb_load(VXDB_MAIN_DB, example_kind, data.get(), &error);
        }
        vxdb_set_busy_timeout_ms(0);
        EXPECT_EQ(stored, -1) << row.what;
        EXPECT_EQ(error, row.error) << row.what;
        EXPECT_EQ(text(json_ptr(vxdb_dump(VXDB_MAIN_DB, example_kind, VXDB_ALL)).get()), before) << row.what;
    }
}

TEST_F(vxdb_dump_load, KindsWithoutAnIndexFieldUseThePosition)
{
    port_rec port = {443, "host-3"};
    ASSERT_EQ(vxdb_write_at(VXDB_MAIN_DB, port_kind, 3, &port), 0);
    json_ptr all(vxdb_dump(VXDB_MAIN_DB, port_kind, VXDB_ALL));
    EXPECT_EQ(text(all.get()), R"([null,null,{"ssh":443,"host":"host-3"}])");

    json_ptr data = parse(R"([{"ssh":22},null,{"ssh":23}])");
    std::string error;
    ASSERT_EQ(vxdb_load(VXDB_MAIN_DB, port_kind, data.get(), &error), 2) << error;
    port_rec back;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, port_kind, 1, &back), 0);
    EXPECT_EQ(back.ssh, 22);
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, port_kind, 2, &back), -1);
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, port_kind, 3, &back), 0);
    EXPECT_EQ(back.ssh, 23);
    EXPECT_STREQ(back.host, "");  // left out: zero, not the old value

    json_ptr too_many = parse(R"([{},{},{},{}])");
    EXPECT_EQ(vxdb_load(VXDB_MAIN_DB, port_kind, too_many.get(), &error), -1);
}
