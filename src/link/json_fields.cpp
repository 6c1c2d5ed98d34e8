#include "link/json_fields.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
json_object *member(json_object *request, const char *key)
{
    json_object *value = nullptr;
    if (!json_object_object_get_ex(request, key, &value))
        return nullptr;
    return value;  // null too for a member whose value is JSON null
}

// An integer member: a JSON integer, or a string holding nothing but a decimal integer (some pages
// send numbers as strings). Fractions, booleans, objects and other text are no integers.
bool integer_value(json_object *value, int64_t *number)
{
    switch (json_object_get_type(value)) {
    case json_type_int:
        *number = json_object_get_int64(value);
        return true;
    case json_type_string: {
        const char *text = json_object_get_string(value);
        char *end = nullptr;
        errno = 0;
        long long parsed = strtoll(text, &end, 10);
        if (end == text || *end != '\0' || errno == ERANGE)
            return false;
        *number = parsed;
        return true;
    }
    default:
        return false;
    }
}

bool acceptable(const json_field &f, json_object *value)
{
    if (f.type == JF_TEXT)
        return true;
    int64_t number = 0;
    if (!integer_value(value, &number))
        return false;
    return number >= f.min && number <= f.max;
}

void store(const json_field &f, json_object *value, unsigned char *field)
{
    switch (f.type) {
    case JF_INT32: {
        int32_t number = json_object_get_int(value);
        memcpy(field, &number, sizeof number);
        break;
    }
    case JF_INT64: {
        int64_t number = json_object_get_int64(value);
        memcpy(field, &number, sizeof number);
        break;
    }
    case JF_UINT64: {
        uint64_t number = json_object_get_uint64(value);
        memcpy(field, &number, sizeof number);
        break;
    }
    case JF_TEXT: {
        const char *text = json_object_get_string(value);
        size_t length = text ? strnlen(text, f.size - 1) : 0;
        memset(field, 0, f.size);
        if (length > 0)
            memcpy(field, text, length);
        break;
    }
    }
}
}  // namespace

int json_read_fields(json_object *request, const json_field *fields, size_t count, void *record)
{
    if (request == nullptr || record == nullptr)
        return -1;
    for (size_t i = 0; i < count; ++i) {
        json_object *value = member(request, fields[i].key);
        if (value == nullptr ? fields[i].rule == JF_REQUIRED : !acceptable(fields[i], value))
            return -1;
    }
    auto *bytes = static_cast<unsigned char *>(record);
    for (size_t i = 0; i < count; ++i) {
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
    for (size_t i = 0; i < count; ++i) {
        const json_field &f = fields[i];
        const unsigned char *field = bytes + f.offset;
        json_object *value = nullptr;
        switch (f.type) {
        case JF_INT32: {
            int32_t number;
            memcpy(&number, field, sizeof number);
            value = json_object_new_int(number);
            break;
        }
        case JF_INT64: {
            int64_t number;
            memcpy(&number, field, sizeof number);
            value = json_object_new_int64(number);
            break;
        }
        case JF_UINT64: {
            uint64_t number;
            memcpy(&number, field, sizeof number);
            value = json_object_new_uint64(number);
            break;
        }
        case JF_TEXT:
            value = json_text_field(reinterpret_cast<const char *>(field), f.size);
            break;
        }
        json_object_object_add(answer, f.key, value);
    }
}
