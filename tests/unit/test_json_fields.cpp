// Key tables: checking a request against its table, merging into a record, writing answers back.
#include "link/json_fields.h"
#include "link/web_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
struct sample_record {
    int32_t port;
    int32_t property;
    char name[8];
    int64_t size;
    uint64_t mask;
};

constexpr json_field sample_keys[] = {
    JSON_INT("portId", sample_record, port, JF_REQUIRED, 0, 35),
    JSON_INT("property", sample_record, property, JF_OPTIONAL, 0, 1),
    JSON_TEXT("name", sample_record, name, JF_OPTIONAL),
    JSON_INT("size", sample_record, size, JF_OPTIONAL, JF_ANY),
    JSON_INT("mask", sample_record, mask, JF_OPTIONAL, 0, LLONG_MAX),
};
static_assert(sample_keys[3].type == JF_SIGNED && sample_keys[4].type == JF_UNSIGNED);

int read_into(const char *json, sample_record *record)
{
    json_object *request = json_tokener_parse(json);
    int rc = json_read_fields(request, sample_keys, record);
    json_object_put(request);
    return rc;
}
}  // namespace

TEST(JsonFields, ReadsPresentKeysAndKeepsAbsentOnes)
{
    sample_record r{};
    r.property = 1;
    strcpy(r.name, "old");
    ASSERT_EQ(read_into(R"({"portId": 3, "size": -5, "mask": 9007199254740993})", &r), 0);
    EXPECT_EQ(r.port, 3);
    EXPECT_EQ(r.property, 1);
    EXPECT_STREQ(r.name, "old");
    EXPECT_EQ(r.size, -5);
    EXPECT_EQ(r.mask, 9007199254740993ull);

    // Texts are cut to the array, always terminated; numbers in strings are numbers.
    ASSERT_EQ(read_into(R"({"portId": "35", "name": "abcdefghijk"})", &r), 0);
    EXPECT_EQ(r.port, 35);
    EXPECT_STREQ(r.name, "abcdefg");
}

TEST(JsonFields, RefusesWholeRequestWithoutTouchingTheRecord)
{
    sample_record r{};
    r.port = 7;
    const char *bad[] = {
        R"({"property": 1})",                    // required key absent
        R"({"portId": null})",                   // null counts as absent
        R"({"portId": 36})",                     // above the range
        R"({"portId": -1})",                     // below the range
        R"({"portId": 3, "property": 2})",       // an optional key out of range
        R"({"portId": "abc"})",                  // no number
        R"({"portId": "3x"})",                   // trailing text
        R"({"portId": 1.5})",                    // a fraction
        R"({"portId": [1]})",                    // an array
        R"({"portId": 3, "mask": -1})",          // a negative mask
    };
    for (const char *json : bad) {
        EXPECT_EQ(read_into(json, &r), -1) << json;
        EXPECT_EQ(r.port, 7) << json;
    }
    EXPECT_EQ(json_read_fields(nullptr, sample_keys, &r), -1);
}

TEST(JsonFields, WritesMembersInTableOrder)
{
    sample_record r{};
    r.port = 2;
    r.property = 1;
    memcpy(r.name, "12345678", 8);  // no terminating zero: read as a terminated field
    r.size = -1;
    r.mask = 1ull << 63;
    json_object *answer = json_object_new_object();
    json_add_fields(answer, sample_keys, &r);
    EXPECT_STREQ(json_object_to_json_string(answer),
                 R"({ "portId": 2, "property": 1, "name": "1234567", "size": -1, "mask": 9223372036854775808 })");
    json_object_put(answer);
}

namespace {
struct sized_record {
    int8_t tiny;
    uint8_t byte;
    int16_t small;
    uint16_t port;
    int32_t number;
    uint32_t flags;
    int64_t wide;
    uint64_t mask;
};

constexpr json_field sized_keys[] = {
    JSON_INT("tiny", sized_record, tiny, JF_OPTIONAL, JF_ANY),
    JSON_INT("byte", sized_record, byte, JF_OPTIONAL, JF_ANY),
    JSON_INT("small", sized_record, small, JF_OPTIONAL, JF_ANY),
    JSON_INT("port", sized_record, port, JF_OPTIONAL, 1, LLONG_MAX),
    JSON_INT("number", sized_record, number, JF_OPTIONAL, JF_ANY),
    JSON_INT("flags", sized_record, flags, JF_OPTIONAL, JF_ANY),
    JSON_INT("wide", sized_record, wide, JF_OPTIONAL, JF_ANY),
    JSON_INT("mask", sized_record, mask, JF_OPTIONAL, JF_ANY),
};

int read_sized(const std::string &json, sized_record *record)
{
    json_object *request = get_request_tokener_json_object(json.c_str());
    int rc = json_read_fields(request, sized_keys, record);
    json_object_put(request);
    return rc;
}
}  // namespace

// A number is taken only when the field can hold it: never clamped, never wrapped, whatever the
// table's range says (JF_ANY is the field's own range).
TEST(JsonFields, NumbersOutsideTheFieldAreRefused)
{
    const std::pair<std::string, bool> cases[] = {
        {R"({"tiny": -128, "byte": 255, "small": -32768, "port": 65535})", true},
        {R"({"tiny": 128})", false},
        {R"({"byte": -1})", false},
        {R"({"byte": 256})", false},
        {R"({"small": 32768})", false},
        {R"({"port": 0})", false},  // the table's own minimum still holds
        {R"({"port": 65536})", false},
        {R"({"number": 2147483647, "flags": 4294967295})", true},
        {R"({"number": 4294967299})", false},
        {R"({"number": -9999999999})", false},
        {R"({"number": "4294967299"})", false},
        {R"({"number": "-2147483649"})", false},
        {R"({"flags": -1})", false},
        {R"({"flags": 4294967296})", false},
        {R"({"wide": -9223372036854775808, "mask": 18446744073709551615})", true},
        {R"({"wide": 9223372036854775808})", false},
        {R"({"wide": "-9223372036854775809"})", false},
        {R"({"mask": -1})", false},
        {R"({"mask": "18446744073709551616"})", false},
        {R"({"mask": 18446744073709551616})", false},  // json-c alone would read 2^64 - 1
        {R"({"wide": -9223372036854775809})", false},
        {R"({"mask": 000018446744073709551615, "note": "99999999999999999999\" 1e99"})", true},
        {R"({"number": 1e3})", false},
    };
    for (const auto &[json, accepted] : cases) {
        sized_record r{};
        r.number = 7;
        EXPECT_EQ(read_sized(json, &r), accepted ? 0 : -1) << json;
        if (!accepted) {
            EXPECT_EQ(r.number, 7) << json;
        }
    }
    sized_record r{};
    ASSERT_EQ(read_sized(R"({"tiny": -128, "byte": 255, "flags": 4294967295, "mask": "18446744073709551615"})", &r), 0);
    EXPECT_EQ(r.tiny, -128);
    EXPECT_EQ(r.byte, 255);
    EXPECT_EQ(r.flags, 4294967295u);
    EXPECT_EQ(r.mask, UINT64_MAX);
}

namespace {
struct wire_disk {
    int32_t port;
    char user[6];
    uint64_t total;
    int32_t count;
    int32_t members[4];
    uint64_t channels;
};

constexpr json_field wire_disk_keys[] = {
    JSON_OUT_INT("port", wire_disk, port),
    JSON_OUT_URL_TEXT("user", wire_disk, user),
    JSON_OUT_MIB("total", wire_disk, total),
    JSON_OUT_COUNT("count", wire_disk, count, 4),
    JSON_OUT_MEMBER_MASK("mask", wire_disk, members, count),
    JSON_OUT_CHANNELS("channels", wire_disk, channels, 6),
};

bool has_port(const wire_disk &disk)
{
    return disk.port != 0;
}
}  // namespace

// Answer rows convert the wire record's shapes; a request never fills them.
TEST(JsonFields, AnswerRowsConvertTheWireRecord)
{
    wire_disk disks[3] = {};
    disks[0] = {3, {'a', ' ', '/', 'b', 'c', 'd'}, (5ull << 20) + 12345, 9, {2, 0, 63, 64}, 0x25};
    disks[2] = {9, "x", 1ull << 20, -2, {1, 1, 1, 1}, 0};
    // The records of a reply lie at any alignment.
    unsigned char payload[1 + sizeof disks];
    memcpy(payload + 1, disks, sizeof disks);
    json_object *list = json_record_array<wire_disk>(payload + 1, 3, wire_disk_keys, has_port);
    EXPECT_STREQ(json_object_to_json_string(list),
                 "[ { \"port\": 3, \"user\": \"a%20%2Fbc\", \"total\": 5, \"count\": 4, \"mask\": 9223372036854775812, "
                 "\"channels\": \"101001\" }, { \"port\": 9, \"user\": \"x\", \"total\": 1, \"count\": 0, "
                 "\"mask\": 0, \"channels\": \"000000\" } ]");
    json_object_put(list);

    wire_disk untouched{};
    json_object *request = json_tokener_parse(R"({"port": 5, "user": "u", "count": 1})");
    EXPECT_EQ(json_read_fields(request, wire_disk_keys, &untouched), 0);
    EXPECT_EQ(untouched.port, 0);
    EXPECT_EQ(untouched.user[0], '\0');
    json_object_put(request);
}

// The integer array prints what json-c prints for an array of integer objects, in every form and
// nested in an object (the indentation follows the level).
TEST(JsonFields, IntegerArrayPrintsAsJsonCArray)
{
    const int32_t values[] = {0, -1, 7, INT32_MIN, INT32_MAX, 16777216};
    const int forms[] = {JSON_C_TO_STRING_PLAIN, JSON_C_TO_STRING_SPACED, JSON_C_TO_STRING_PRETTY,
                         JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_SPACED,
                         JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_PRETTY_TAB};
    for (size_t count : {size_t{0}, size_t{1}, std::size(values)}) {
        json_ptr ours(json_object_new_object());
        json_ptr theirs(json_object_new_object());
        json_object *list = json_object_new_array();
        for (size_t i = 0; i < count; ++i)
            json_object_array_add(list, json_object_new_int(values[i]));
        json_object_object_add(theirs.get(), "words", list);
        json_object_object_add(ours.get(), "words", json_int_array(values, count));
        for (int form : forms) {
            EXPECT_STREQ(json_object_to_json_string_ext(ours.get(), form),
                         json_object_to_json_string_ext(theirs.get(), form))
                << "count " << count << ", form " << form;
        }
    }
}
