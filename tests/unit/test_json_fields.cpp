// Key tables: checking a request against its table, merging into a record, writing answers back.
#include "link/json_fields.h"

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
