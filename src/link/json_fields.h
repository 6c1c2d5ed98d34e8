// Tables of JSON keys and record fields: the argument policy of a page, and the shape of its answer.
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
// change. json_add_fields() writes fields as members, in table order. An answer table reads the wire
// record directly; the JSON_OUT_ rows convert the shapes the pages show (sizes in MiB, URL-encoded
// texts, member lists as masks, masks as channel strings) and are never read from a request:
//
//     static const json_field disk_list_keys[] = {
//         JSON_OUT_INT("portId", disk_status, port_id),
//         JSON_OUT_MIB("totalSize", disk_status, total_size),
//         JSON_OUT_URL_TEXT("userName", disk_status, user),
//     };
#pragma once

#include <json-c/json.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

enum json_field_type : unsigned char {
    JF_SIGNED,       // signed integer field of `size` bytes; a JSON integer (or a string holding one)
    JF_UNSIGNED,     // unsigned integer field of `size` bytes
    JF_TEXT,         // char array; the string form of the member, cut to the array size - 1
    // Answers only:
    JF_MIB,          // uint64 bytes, shown as whole MiB
    JF_URL_TEXT,     // char array, shown URL-encoded (at most the array size - 1 characters of it)
    JF_MEMBER_MASK,  // int32 array of member numbers with its int32 count at `aux`: bit n per member n (1..63)
    JF_COUNT,        // int32 count, shown clamped to 0..max
    JF_CHANNELS,     // uint64 mask, shown as one '0'/'1' character per channel, `max` channels
};

enum json_field_rule : unsigned char {
    JF_OPTIONAL,
    JF_REQUIRED,
    JF_OUTPUT,  // written to answers only, never read from a request
};

struct json_field {
    const char *key;
    json_field_type type;
    size_t offset;
    size_t size;  // bytes of the field
    json_field_rule rule;
    long long min, max;  // accepted range of an integer, both included (also within the field's own range)
    size_t aux = 0;      // JF_MEMBER_MASK: offset of the count
};

// Every value the field can hold.
#define JF_ANY LLONG_MIN, LLONG_MAX

template <typename T> constexpr json_field_type json_int_type()
{
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>,
                  "JSON_INT takes an integer member");
    return std::is_signed_v<T> ? JF_SIGNED : JF_UNSIGNED;
}

template <typename T> constexpr size_t json_text_size()
{
    static_assert(std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, char>,
                  "JSON_TEXT takes a char[N] member");
    return sizeof(T);
}

template <typename T, typename Expected> constexpr size_t json_member_size()
{
    static_assert(std::is_same_v<T, Expected>, "the member has another type than the converter reads");
    return sizeof(T);
}

template <typename Members, typename Count> constexpr size_t json_member_count_at(size_t offset)
{
    static_assert(std::is_array_v<Members> && std::is_same_v<std::remove_extent_t<Members>, int32_t> &&
                      std::is_same_v<Count, int32_t>,
                  "a member list is an int32 array with an int32 count");
    return offset;
}

#define JSON_INT(key, record, member, rule, ...)                                                          \
    json_field{key, json_int_type<decltype(record::member)>(), offsetof(record, member),                      \
               sizeof(record::member), rule, __VA_ARGS__}
#define JSON_TEXT(key, record, member, rule)                                                              \
    json_field{key, JF_TEXT, offsetof(record, member), json_text_size<decltype(record::member)>(), rule, 0, 0}

#define JSON_OUT_INT(key, record, member) JSON_INT(key, record, member, JF_OUTPUT, JF_ANY)
#define JSON_OUT_TEXT(key, record, member) JSON_TEXT(key, record, member, JF_OUTPUT)
#define JSON_OUT_MIB(key, record, member)                                                                 \
    json_field{key, JF_MIB, offsetof(record, member), json_member_size<decltype(record::member), uint64_t>(), \
               JF_OUTPUT, 0, 0}
#define JSON_OUT_URL_TEXT(key, record, member)                                                            \
    json_field{key, JF_URL_TEXT, offsetof(record, member), json_text_size<decltype(record::member)>(),       \
               JF_OUTPUT, 0, 0}
#define JSON_OUT_COUNT(key, record, member, most)                                                         \
    json_field{key, JF_COUNT, offsetof(record, member), json_member_size<decltype(record::member), int32_t>(), \
               JF_OUTPUT, 0, most}
#define JSON_OUT_MEMBER_MASK(key, record, members, count)                                                 \
    json_field{key, JF_MEMBER_MASK, offsetof(record, members), sizeof(record::members), JF_OUTPUT, 0, 0,     \
               json_member_count_at<decltype(record::members), decltype(record::count)>(offsetof(record, count))}
#define JSON_OUT_CHANNELS(key, record, member, channels)                                                  \
    json_field{key, JF_CHANNELS, offsetof(record, member), json_member_size<decltype(record::member), uint64_t>(), \
               JF_OUTPUT, 0, channels}

// Checks every key of the table first: a required key that is absent (or JSON null), an integer
// outside its range or outside what its field can hold (never clamped), or a member of the wrong
// JSON type fails the whole read with -1 and the record is left untouched. Otherwise every present
// key is stored in its field and the result is 0. Output-only rows are skipped. A null request fails.
int json_read_fields(json_object *request, const json_field *fields, size_t count, void *record);

template <size_t N> int json_read_fields(json_object *request, const json_field (&fields)[N], void *record)
{
    return json_read_fields(request, fields, N, record);
}

// Adds one member per field, in table order: integers as JSON integers, texts as JSON strings (read
// as terminated fields: up to the first zero byte, at most the array size - 1 characters), converted
// rows as their type says.
void json_add_fields(json_object *answer, const json_field *fields, size_t count, const void *record);

template <size_t N> void json_add_fields(json_object *answer, const json_field (&fields)[N], const void *record)
{
    json_add_fields(answer, fields, N, record);
}

// A new JSON object holding the fields of one record.
json_object *json_fields_object(const json_field *fields, size_t count, const void *record);

// A new JSON array with one object per record that `keep` accepts (all when it is null). The records
// lie one after the other at any alignment (a reply payload): each is copied out before it is read.
template <typename Record, size_t N>
json_object *json_record_array(const void *records, int count, const json_field (&fields)[N],
                               bool (*keep)(const Record &) = nullptr)
{
    json_object *list = json_object_new_array();
    const auto *bytes = static_cast<const unsigned char *>(records);
    for (int i = 0; list != nullptr && i < count; ++i) {
        Record record;
        memcpy(&record, bytes + static_cast<size_t>(i) * sizeof record, sizeof record);
        if (keep == nullptr || keep(record))
            json_object_array_add(list, json_fields_object(fields, N, &record));
    }
    return list;
}

// A bounded copy of a text field that may lack its terminating zero.
json_object *json_text_field(const char *field, size_t size);
