#include "link/event_json.h"

#include <cerrno>
#include <cctype>
#include <cstdlib>
#include <cstring>

json_object *event_member(json_object *object, const char *key)
{
    json_object *value = nullptr;
    if (object == nullptr || key == nullptr || !json_object_is_type(object, json_type_object) ||
        !json_object_object_get_ex(object, key, &value))
        return nullptr;
    return value;
}

json_object *event_array_member(json_object *object, const char *key)
{
    json_object *value = event_member(object, key);
    return json_object_is_type(value, json_type_array) ? value : nullptr;
}

json_object *event_element(json_object *array, size_t i)
{
    if (!json_object_is_type(array, json_type_array) || i >= json_object_array_length(array))
        return nullptr;
    return json_object_array_get_idx(array, i);
}

int event_int(json_object *value, int32_t *out)
{
    if (value == nullptr) {
        *out = 0;
        return 0;
    }
    long long number = 0;
    if (json_object_is_type(value, json_type_int)) {
        number = json_object_get_int64(value);
        // json-c keeps a value above INT64_MAX as unsigned, and its signed reading saturates.
        if (number == INT64_MAX)
            return -1;
    } else if (json_object_is_type(value, json_type_string)) {
        const char *text = json_object_get_string(value);
        while (isspace(static_cast<unsigned char>(*text)))
            ++text;
        char *end = nullptr;
        errno = 0;
        number = strtoll(text, &end, 10);
        if (end == text || *end != '\0' || errno == ERANGE)
            return -1;
    } else {
        return -1;
    }
    if (number < INT32_MIN || number > INT32_MAX)
        return -1;
    *out = static_cast<int32_t>(number);
    return 0;
}

void event_text(json_object *value, char *field, size_t size)
{
    if (size == 0)
        return;
    const char *text = value != nullptr ? json_object_get_string(value) : nullptr;
    const size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
    memset(field, 0, size);
    if (length > 0)
        memcpy(field, text, length);
}
