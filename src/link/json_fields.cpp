#include "link/json_fields.h"
#include "vxrt/vx_text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace {
using wide = __int128;  // holds every value of a 64-bit field, signed or not

json_object *member(json_object *request, const char *key)
{
    json_object *value = nullptr;
    if (!json_object_object_get_ex(request, key, &value))
        return nullptr;
    return value;  // null too for a member whose value is JSON null
}

// A decimal integer in a string, as some pages send numbers: optional white space and sign, digits,
// nothing after them. False for anything else and for a value beyond 64 bits.
bool integer_text(const char *text, wide *number)
{
    const char *start = text;
    while (isspace(static_cast<unsigned char>(*start)))
        ++start;
    char *end = nullptr;
    errno = 0;
    if (*start == '-') {
        const long long parsed = strtoll(start, &end, 10);
        *number = parsed;
    } else {
        const unsigned long long parsed = strtoull(start, &end, 10);
        *number = parsed;
    }
    return end != start && *end == '\0' && errno != ERANGE;
}

// An integer member: a JSON integer, or a string holding nothing but a decimal integer. Fractions,
// booleans, objects and other text are no integers.
bool integer_value(json_object *value, wide *number)
{
    switch (json_object_get_type(value)) {
    case json_type_int: {
        // json-c keeps a number above INT64_MAX as unsigned; its signed reading would saturate.
        const int64_t as_signed = json_object_get_int64(value);
        *number = as_signed < 0 ? wide{as_signed} : wide{json_object_get_uint64(value)};
        return true;
    }
    case json_type_string:
        return integer_text(json_object_get_string(value), number);
    default:
        return false;
    }
}

// The range the field itself can hold.
void field_range(const json_field &f, wide *low, wide *high)
{
    const int bits = static_cast<int>(f.size) * 8;
    if (f.type == JF_SIGNED) {
        *low = -(wide{1} << (bits - 1));
        *high = (wide{1} << (bits - 1)) - 1;
    } else {
        *low = 0;
        *high = (wide{1} << bits) - 1;
    }
}

bool acceptable(const json_field &f, json_object *value)
{
    if (f.type == JF_TEXT)
        return true;
    wide number = 0;
    if (!integer_value(value, &number))
        return false;
    wide low = 0, high = 0;
    field_range(f, &low, &high);
    // JF_ANY's ends stand for the field's own range, so a 64-bit unsigned field takes all its values.
    if (f.min != LLONG_MIN && wide{f.min} > low)
        low = f.min;
    if (f.max != LLONG_MAX && wide{f.max} < high)
        high = f.max;
    return number >= low && number <= high;
}

template <typename T> void put(unsigned char *field, wide number)
{
    const T value = static_cast<T>(number);
    memcpy(field, &value, sizeof value);
}

void store_integer(const json_field &f, wide number, unsigned char *field)
{
    const bool is_signed = f.type == JF_SIGNED;
    switch (f.size) {
    case 1: is_signed ? put<int8_t>(field, number) : put<uint8_t>(field, number); break;
    case 2: is_signed ? put<int16_t>(field, number) : put<uint16_t>(field, number); break;
    case 4: is_signed ? put<int32_t>(field, number) : put<uint32_t>(field, number); break;
    default: is_signed ? put<int64_t>(field, number) : put<uint64_t>(field, number); break;
    }
}

void store(const json_field &f, json_object *value, unsigned char *field)
{
    if (f.type != JF_TEXT) {
        wide number = 0;
        integer_value(value, &number);
        store_integer(f, number, field);
        return;
    }
    const char *text = json_object_get_string(value);
    size_t length = text ? strnlen(text, f.size - 1) : 0;
    memset(field, 0, f.size);
    if (length > 0)
        memcpy(field, text, length);
}

template <typename T> T get(const unsigned char *field)
{
    T value;
    memcpy(&value, field, sizeof value);
    return value;
}

json_object *integer_member(const json_field &f, const unsigned char *field)
{
    if (f.type == JF_UNSIGNED) {
        switch (f.size) {
        case 1: return json_object_new_int64(get<uint8_t>(field));
        case 2: return json_object_new_int64(get<uint16_t>(field));
        case 4: return json_object_new_int64(get<uint32_t>(field));
        default: return json_object_new_uint64(get<uint64_t>(field));
        }
    }
    switch (f.size) {
    case 1: return json_object_new_int64(get<int8_t>(field));
    case 2: return json_object_new_int64(get<int16_t>(field));
    case 4: return json_object_new_int64(get<int32_t>(field));
    default: return json_object_new_int64(get<int64_t>(field));
    }
}

// A text field, cut as a terminated field would be, percent-encoded.
json_object *url_text_member(const json_field &f, const unsigned char *field)
{
    std::string text(f.size, '\0');
    vx_copy_text(text.data(), f.size, reinterpret_cast<const char *>(field), f.size);
    std::string encoded(f.size * 3 + 1, '\0');
    get_url_encode(text.c_str(), encoded.data(), encoded.size());
    return json_object_new_string(encoded.c_str());
}

// Bit n for each member n of 1..63 among the first `count` entries (the count clamped to the list).
json_object *member_mask_member(const json_field &f, const unsigned char *record)
{
    const int capacity = static_cast<int>(f.size / sizeof(int32_t));
    int count = get<int32_t>(record + f.aux);
    count = count < 0 ? 0 : count > capacity ? capacity : count;
    uint64_t mask = 0;
    for (int i = 0; i < count; ++i) {
        const int32_t member = get<int32_t>(record + f.offset + static_cast<size_t>(i) * sizeof(int32_t));
        if (member >= 1 && member < 64)
            mask |= uint64_t{1} << member;
    }
    return json_object_new_uint64(mask);
}

json_object *channels_member(const json_field &f, const unsigned char *field)
{
    const uint64_t mask = get<uint64_t>(field);
    const long long channels = f.max < 0 ? 0 : f.max > 64 ? 64 : f.max;
    std::string text(static_cast<size_t>(channels), '0');
    for (long long i = 0; i < channels; ++i) {
        if (mask & (uint64_t{1} << i))
            text[static_cast<size_t>(i)] = '1';
    }
    return json_object_new_string(text.c_str());
}

json_object *answer_member(const json_field &f, const unsigned char *record)
{
    const unsigned char *field = record + f.offset;
    switch (f.type) {
    case JF_SIGNED:
    case JF_UNSIGNED:
        return integer_member(f, field);
    case JF_TEXT:
        // As a terminated field: a field filled to its end loses its last byte, as on the device.
        return json_text_field(reinterpret_cast<const char *>(field), f.size - 1);
    case JF_MIB:
        return json_object_new_int64(static_cast<int64_t>(get<uint64_t>(field) >> 20));
    case JF_URL_TEXT:
        return url_text_member(f, field);
    case JF_MEMBER_MASK:
        return member_mask_member(f, record);
    case JF_COUNT: {
        const int32_t count = get<int32_t>(field);
        return json_object_new_int(count < 0 ? 0 : count > f.max ? static_cast<int32_t>(f.max) : count);
    }
    case JF_CHANNELS:
        return channels_member(f, field);
    }
    return nullptr;
}
}  // namespace

int json_read_fields(json_object *request, const json_field *fields, size_t count, void *record)
{
    if (request == nullptr || record == nullptr)
        return -1;
    for (size_t i = 0; i < count; ++i) {
        if (fields[i].rule == JF_OUTPUT)
            continue;
        json_object *value = member(request, fields[i].key);
        if (value == nullptr ? fields[i].rule == JF_REQUIRED : !acceptable(fields[i], value))
            return -1;
    }
    auto *bytes = static_cast<unsigned char *>(record);
    for (size_t i = 0; i < count; ++i) {
        if (fields[i].rule == JF_OUTPUT)
            continue;
        if (json_object *value = member(request, fields[i].key))
            store(fields[i], value, bytes + fields[i].offset);
    }
    return 0;
}

json_object *json_text_field(const char *field, size_t size)
{
    return json_object_new_string_len(field, static_cast<int>(strnlen(field, size)));
}

void json_add_fields(json_object *answer, const json_field *fields, size_t count, const void *record)
{
    const auto *bytes = static_cast<const unsigned char *>(record);
    for (size_t i = 0; i < count; ++i)
        json_object_object_add(answer, fields[i].key, answer_member(fields[i], bytes));
}

json_object *json_fields_object(const json_field *fields, size_t count, const void *record)
{
    json_object *object = json_object_new_object();
    if (object != nullptr)
        json_add_fields(object, fields, count, record);
    return object;
}
