// Tables of JSON keys and record fields: the argument policy of a page.
//
// A page's keys are declared once, as a static table that says which field of the record each key
// fills, how the value is checked and whether the key must be present:
//
//     static const json_field disk_settings_keys[] = {
//         JSON_INT("portId",   disk_settings, port,       JF_REQUIRED, 0, 35),
//         JSON_INT("property", disk_settings, property,   JF_REQUIRED, 0, 1),
//         JSON_INT("group",    disk_settings, group,      JF_OPTIONAL, JF_ANY),
//         JSON_TEXT("name",    user_record,   name,       JF_OPTIONAL),
//     };
//
// json_read_fields() checks a parsed request against the table and fills the record; members that
// are absent leave their fields as they are, so reading over a stored record merges a partial
// change. json_add_fields() writes fields back as members, in table order, where an answer uses the
// same keys.
#pragma once

#include <json-c/json.h>

#include <climits>
#include <cstddef>
#include <cstdint>

enum json_field_type : unsigned char {
    JF_INT32,   // int32_t field, JSON integer (json-c's reading: a number in a string is read too)
    JF_INT64,   // int64_t field
    JF_UINT64,  // uint64_t field
    JF_TEXT,    // char array; the string form of the member, cut to the array size - 1
};

enum json_field_rule : unsigned char { JF_OPTIONAL, JF_REQUIRED };

struct json_field {
    const char *key;
    json_field_type type;
    size_t offset;
    size_t size;  // bytes of the field
    json_field_rule rule;
    long long min, max;  // accepted range of an integer, both included
};

#define JF_ANY LLONG_MIN, LLONG_MAX

#define JSON_INT(key, record, member, rule, ...)                                                             \
    json_field{key, json_int_type<decltype(record::member)>(), offsetof(record, member), sizeof(record::member), \
               rule, __VA_ARGS__}
#define JSON_TEXT(key, record, member, rule)                                                                 \
    json_field{key, JF_TEXT, offsetof(record, member), sizeof(record::member), rule, 0, 0}

template <typename T> constexpr json_field_type json_int_type()
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "an integer field of 32 or 64 bits");
    if constexpr (sizeof(T) == 4)
        return JF_INT32;
    else if constexpr (static_cast<T>(-1) < 0)
        return JF_INT64;
    else
        return JF_UINT64;
}

// Checks every key of the table first: a required key that is absent (or JSON null), or an integer
// outside its range, fails the whole read with -1 and the record is left untouched. Otherwise every
// present key is stored in its field and the result is 0. A null request fails.
int json_read_fields(json_object *request, const json_field *fields, size_t count, void *record);

template <size_t N> int json_read_fields(json_object *request, const json_field (&fields)[N], void *record)
{
    return json_read_fields(request, fields, N, record);
}

// Adds one member per field, in table order: integers as JSON integers, texts as JSON strings (read
// up to the first zero byte or the end of the array).
void json_add_fields(json_object *answer, const json_field *fields, size_t count, const void *record);

template <size_t N> void json_add_fields(json_object *answer, const json_field (&fields)[N], const void *record)
{
    json_add_fields(answer, fields, N, record);
}

// A bounded copy of a text field that may lack its terminating zero.
json_object *json_text_field(const char *field, size_t size);
