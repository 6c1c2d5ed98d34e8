#include "link/web_json.h"

#include <cstdint>
#include <cstring>

namespace {
// Older json-c releases reported failure as a small negative number cast to a pointer.
bool is_json_error(const json_object *object)
{
    return object == nullptr || reinterpret_cast<uintptr_t>(object) >= static_cast<uintptr_t>(-4000);
}

// The member `key`, or null when it is missing or JSON null.
json_object *member(json_object *object, const char *key)
{
    json_object *value = nullptr;
    if (object == nullptr || key == nullptr || !json_object_object_get_ex(object, key, &value))
        return nullptr;
    return value;
}
}  // namespace

json_object *get_request_tokener_json_object(const char *text)
{
    if (text == nullptr)
        return nullptr;
    json_object *object = json_tokener_parse(text);
    return is_json_error(object) ? nullptr : object;
}

int on_cgi_get_value_by_json(const char *text, const char *key, int *out)
{
    if (key == nullptr || out == nullptr)
        return -1;
    json_ptr object(get_request_tokener_json_object(text));
    return on_cgi_get_int_from_json(object.get(), key, out);
}

int on_cgi_get_int_from_json(json_object *object, const char *key, int *out)
{
    json_object *value = member(object, key);
    if (value == nullptr || out == nullptr)
        return -1;
    *out = json_object_get_int(value);
    return 0;
}

int on_cgi_get_string_from_json(json_object *object, const char *key, char *buffer, int size)
{
    json_object *value = member(object, key);
    if (value == nullptr || buffer == nullptr || size < 1)
        return -1;
    const char *text = json_object_get_string(value);
    if (text == nullptr)
        return -1;
    size_t length = strnlen(text, static_cast<size_t>(size) - 1);
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return 0;
}
