#include "tables/vxdb_example_kind.h"
#include "vxdb/vxdb_record.h"
#include "vxdb_fixture.h"

#include <sqlite3.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
// The example layout with a range of 16 indexes.
constexpr vxdb_kind small_kind = {"small", sizeof(example_rec), 0, 15, VXDB_INDEX_AT(example_rec, channel),
                                  VXDB_FIELDS(example_fields)};

example_rec blank(int channel)
{
    example_rec rec;
    memset(&rec, 0, sizeof rec);
    rec.channel = channel;
    return rec;
}

example_rec filled(int channel, const char *name)
{
    example_rec rec = blank(channel);
    rec.enable = 1;
    snprintf(rec.name, sizeof rec.name, "%s", name);
    rec.mask = ~uint64_t{0};
    rec.slots[1][1].action = 9;
    return rec;
}

bool same(const example_rec &a, const example_rec &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

std::vector<int> channels(const example_rec *recs, int count)
{
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(recs[i].channel);
    return out;
}
}  // namespace

// Runs first in this program (before the registry test below refuses kinds on purpose): every kind
// that the program's modules register next to their structs was accepted and is sound.
TEST(vxdb_kinds, EveryRegisteredKindIsSoundAndUniquelyNamed)
{
    EXPECT_EQ(vxdb_kinds_refused(), 0u);
    std::set<std::string> names;
    for (size_t i = 0; i < vxdb_kind_count(); ++i) {
        const vxdb_kind *kind = vxdb_kind_at(i);
        EXPECT_EQ(vxdb_check_kind(kind), 0) << kind->name;
        EXPECT_TRUE(names.insert(kind->name).second) << kind->name;
    }
}

TEST(vxdb_kinds, RegistryRefusesUnsoundOrClashingKinds)
{
    size_t refused = vxdb_kinds_refused();
    ASSERT_EQ(vxdb_register_kind(&example_kind), 0);
    EXPECT_EQ(vxdb_register_kind(&example_kind), 0);  // the same row twice is harmless
    EXPECT_EQ(vxdb_find_kind("example"), &example_kind);

    vxdb_kind clash = example_kind;
    EXPECT_EQ(vxdb_register_kind(&clash), -1);

    vxdb_kind reversed = example_kind;
    reversed.name = "reversed";
    reversed.first = 5;
    reversed.last = 4;
    vxdb_kind index_outside = example_kind;
    index_outside.name = "index_outside";
    index_outside.index_offset = static_cast<int>(sizeof(example_rec)) - 2;
    vxdb_kind bad_name = example_kind;
    bad_name.name = "two words";
    vxdb_field too_far[] = {VXDB_FIELD(example_rec, slots)};
    vxdb_kind field_outside = example_kind;
    field_outside.name = "field_outside";
    field_outside.size = offsetof(example_rec, slots) + sizeof(example_slot);  // cut inside the array
    field_outside.fields = too_far;
    field_outside.field_count = 1;
    for (const vxdb_kind *kind : {&reversed, &index_outside, &bad_name, &field_outside}) {
        EXPECT_EQ(vxdb_check_kind(kind), -1) << kind->name;
        EXPECT_EQ(vxdb_register_kind(kind), -1) << kind->name;
    }
    EXPECT_EQ(vxdb_kinds_refused(), refused + 5);
    EXPECT_EQ(vxdb_find_kind("reversed"), nullptr);
}

using vxdb_records = vxdb_test;

TEST_F(vxdb_records, AMissingRowReadsAsZeroCarryingItsIndex)
{
    example_rec rec;
    memset(&rec, 0x5a, sizeof rec);
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 5, &rec), -1);
    EXPECT_TRUE(same(rec, blank(5)));
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));

    // A read-modify-write of an index out of range is refused instead of landing on row 0.
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 64, &rec), -1);
    EXPECT_EQ(rec.channel, 64);
    EXPECT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), -1);
    rec.channel = -1;
    EXPECT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), -1);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 0);
}

TEST_F(vxdb_records, WriteStoresUnderTheRecordsOwnIndex)
{
    example_rec rec = filled(12, "gate");
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), 0);
    example_rec back;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 12, &back), 0);
    EXPECT_TRUE(same(back, rec));
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 0, &back), -1);

    // write_at stores under the given index and makes the stored record say so.
    ASSERT_EQ(vxdb_write_at(VXDB_MAIN_DB, example_kind, 30, &rec), 0);
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 30, &back), 0);
    EXPECT_EQ(back.channel, 30);
    EXPECT_STREQ(back.name, "gate");

    // Kinds are kept apart although they share a layout.
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, small_kind, 12, &back), -1);
    EXPECT_EQ(vxdb_write(VXDB_MAIN_DB, port_kind, &rec), -1);  // no index field: the caller names it
}

TEST_F(vxdb_records, ReadManyGivesStoredRowsInIndexOrderClampedToTheArray)
{
    for (int channel : {40, 2, 9}) {
        example_rec rec = filled(channel, "x");
        ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), 0);
    }
    example_rec recs[4];
    int count = -1;
    EXPECT_EQ(vxdb_read_many(VXDB_MAIN_DB, example_kind, recs, 4, &count), 3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(channels(recs, count), (std::vector<int>{2, 9, 40}));
    EXPECT_TRUE(same(recs[1], filled(9, "x")));

    memset(recs, 0x5a, sizeof recs);
    EXPECT_EQ(vxdb_read_many(VXDB_MAIN_DB, example_kind, recs, 2, &count), 2);
    EXPECT_EQ(channels(recs, count), (std::vector<int>{2, 9}));
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&recs[2])[0], 0x5a);  // past the capacity: untouched

    // Rows stored outside the kind's range are not the kind's.
    EXPECT_EQ(vxdb_read_many(VXDB_MAIN_DB, small_kind, recs, 4, &count), 0);

    // Slots: one per index of the range that fits, stored or blank.
    std::vector<example_rec> slots(70);
    EXPECT_EQ(vxdb_read_slots(VXDB_MAIN_DB, example_kind, slots.data(), 70), 64);
    EXPECT_TRUE(same(slots[40], filled(40, "x")));
    EXPECT_TRUE(same(slots[3], blank(3)));
    EXPECT_EQ(vxdb_read_slots(VXDB_MAIN_DB, example_kind, slots.data(), 5), 5);
    EXPECT_TRUE(same(slots[2], filled(2, "x")));
}

TEST_F(vxdb_records, CopyReachesEveryMaskedIndexInRange)
{
    example_rec source = filled(5, "source");
    example_rec old = filled(63, "old");
    example_rec untouched = filled(7, "untouched");
    for (const example_rec *rec : {&source, &old, &untouched})
        ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, rec), 0);

    uint64_t mask = (uint64_t{1} << 0) | (uint64_t{1} << 5) | (uint64_t{1} << 63);
    ASSERT_EQ(vxdb_copy(VXDB_MAIN_DB, example_kind, 5, mask), 0);
    example_rec back;
    for (int n : {0, 5, 63}) {
        ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, n, &back), 0) << n;
        EXPECT_TRUE(same(back, filled(n, "source"))) << n;
    }
    EXPECT_TRUE(vxdb_read(VXDB_MAIN_DB, example_kind, 7, &back) == 0 && same(back, untouched));
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 4);

    // Bits past the kind's range are ignored; a missing source copies nothing.
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, small_kind, &source), 0);
    uint64_t beyond = (uint64_t{1} << 15) | (uint64_t{1} << 16) | (uint64_t{1} << 63);
    ASSERT_EQ(vxdb_copy(VXDB_MAIN_DB, small_kind, 5, beyond), 0);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, small_kind), 2);
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, small_kind, 15, &back), 0);
    EXPECT_EQ(vxdb_copy(VXDB_MAIN_DB, small_kind, 6, ~uint64_t{0}), -1);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, small_kind), 2);
}

TEST_F(vxdb_records, DeleteRemovesOneRowOrAllAndNeverCreatesAFile)
{
    EXPECT_EQ(vxdb_delete(VXDB_MAIN_DB, example_kind, 3), 0);
    EXPECT_EQ(vxdb_delete_all(VXDB_MAIN_DB, example_kind), 0);
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));

    for (int channel : {1, 3, 8}) {
        example_rec rec = filled(channel, "x");
        ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), 0);
        ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, small_kind, &rec), 0);
    }
    ASSERT_EQ(vxdb_delete(VXDB_MAIN_DB, example_kind, 3), 0);
    example_rec back;
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 3, &back), -1);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 2);
    ASSERT_EQ(vxdb_delete_all(VXDB_MAIN_DB, example_kind), 0);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 0);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, small_kind), 3);
}

TEST_F(vxdb_records, StoredBlobsOfAnotherSizeAreZeroFilledOrCut)
{
    example_rec rec = filled(1, "x");
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &rec), 0);  // creates file and tables

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
    auto put = [&](int index, const std::vector<unsigned char> &blob) {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO records VALUES('example', ?1, ?2)", -1, &stmt, nullptr);
        sqlite3_bind_int(stmt, 1, index);
        if (blob.empty())
            sqlite3_bind_zeroblob(stmt, 2, 0);
        else
            sqlite3_bind_blob(stmt, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
    };
    put(2, std::vector<unsigned char>(10, 0x11));
    put(3, std::vector<unsigned char>(sizeof(example_rec) + 100, 0x22));
    put(4, {});
    sqlite3_close(db);

    struct {
        example_rec rec;
        unsigned char guard[128];
    } out;
    memset(&out, 0x7e, sizeof out);
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 2, &out.rec), 0);
    const auto *bytes = reinterpret_cast<const unsigned char *>(&out.rec);
    EXPECT_EQ(out.rec.channel, 2);  // the row's index, whatever the blob says
    EXPECT_EQ(bytes[5], 0x11);
    EXPECT_EQ(bytes[10], 0);
    EXPECT_EQ(bytes[sizeof(example_rec) - 1], 0);

    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 3, &out.rec), 0);
    EXPECT_EQ(out.rec.channel, 3);
    EXPECT_EQ(bytes[sizeof(example_rec) - 1], 0x22);
    EXPECT_EQ(out.guard[0], 0x7e);
    EXPECT_EQ(out.guard[127], 0x7e);

    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 4, &out.rec), 0);
    EXPECT_TRUE(same(out.rec, blank(4)));

    // The many-record reads handle them alike.
    example_rec recs[8];
    int count = 0;
    vxdb_read_many(VXDB_MAIN_DB, example_kind, recs, 8, &count);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(recs[2].channel, 3);
    EXPECT_EQ(reinterpret_cast<const unsigned char *>(&recs[2])[sizeof(example_rec) - 1], 0x22);
    EXPECT_EQ(recs[3].channel, 4);
}

TEST_F(vxdb_records, NamedTablesOfOneKindAreSeparateAndNamesAreChecked)
{
    example_rec motion = filled(4, "motion"), alarm = filled(4, "alarm");
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &motion, "motion_http_notification_sche"), 0);
    ASSERT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &alarm, "alarm_chnIn3_whiteled_esche"), 0);
    example_rec back;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 4, &back, "motion_http_notification_sche"), 0);
    EXPECT_STREQ(back.name, "motion");
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 4, &back, "alarm_chnIn3_whiteled_esche"), 0);
    EXPECT_STREQ(back.name, "alarm");
    EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 4, &back), -1);

    const std::string too_long(64, 'a'), longest(63, 'a');
    for (const char *table : {"", "a b", "x';--", "motion/..", too_long.c_str()}) {
        EXPECT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &motion, table), -1) << table;
        EXPECT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 4, &back, table), -1) << table;
    }
    EXPECT_EQ(vxdb_write(VXDB_MAIN_DB, example_kind, &motion, longest.c_str()), 0);
}

TEST_F(vxdb_records, WriteManyStoresAllOrNothing)
{
    example_rec recs[3] = {filled(6, "a"), filled(1, "b"), filled(64, "c")};
    EXPECT_EQ(vxdb_write_many(VXDB_MAIN_DB, example_kind, recs, 3), -1);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, example_kind), 0);
    EXPECT_EQ(vxdb_write_many(VXDB_MAIN_DB, example_kind, recs, 2), 0);
    example_rec back;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, example_kind, 6, &back), 0);
    EXPECT_STREQ(back.name, "a");

    // Without an index field the array's position is the index, from the range's first.
    port_rec ports[3] = {{22, "one"}, {23, "two"}, {24, "three"}};
    EXPECT_EQ(vxdb_write_many(VXDB_MAIN_DB, port_kind, ports, 3), 0);
    port_rec port;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, port_kind, 3, &port), 0);
    EXPECT_EQ(port.ssh, 24);
    EXPECT_EQ(vxdb_write_at(VXDB_MAIN_DB, port_kind, 0, &ports[0]), -1);
    port_rec four[4] = {};
    EXPECT_EQ(vxdb_write_many(VXDB_MAIN_DB, port_kind, four, 4), -1);
}
