#include "link/web_json.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
// Older json-c releases reported failure as a small negative number cast to a pointer.
bool is_json_error(const json_object *object)
{
    return object == nullptr || reinterpret_cast<uintptr_t>(object) >= static_cast<uintptr_t>(-4000);
}

// True when an integer literal of the JSON text lies outside what json-c can hold (below INT64_MIN or
// above UINT64_MAX): json-c would silently store the nearest value it can, so a page's 2^64 would be
// read as 2^64 - 1. Strings are skipped; literals with a fraction or an exponent are no integers.
bool has_unrepresentable_integer(const char *text)
{
    static const char int64_min_digits[] = "9223372036854775808";
    static const char uint64_max_digits[] = "18446744073709551615";
    for (const char *p = text; *p != '\0';) {
        if (*p == '"') {
            for (++p; *p != '\0' && *p != '"'; ++p) {
                if (*p == '\\' && p[1] != '\0')
                    ++p;
            }
            if (*p == '"')
                ++p;
            continue;
        }
        if (*p != '-' && (*p < '0' || *p > '9')) {
            ++p;
            continue;
        }
        const bool negative = *p == '-';
        const char *digits = negative ? p + 1 : p;
        while (*digits == '0' && digits[1] >= '0' && digits[1] <= '9')
            ++digits;
        const char *end = digits;
        while (*end >= '0' && *end <= '9')
            ++end;
        const bool integer = *end != '.' && *end != 'e' && *end != 'E';
        const char *limit = negative ? int64_min_digits : uint64_max_digits;
        const size_t length = static_cast<size_t>(end - digits), limit_length = strlen(limit);
        if (integer && (length > limit_length || (length == limit_length && strncmp(digits, limit, length) > 0)))
            return true;
        p = end > p ? end : p + 1;
    }
    return false;
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
    if (has_unrepresentable_integer(text))
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

namespace {
using int_array = std::vector<int32_t>;

void indent(printbuf *buffer, int level, int flags)
{
    if (flags & JSON_C_TO_STRING_PRETTY)
        printbuf_memset(buffer, -1, (flags & JSON_C_TO_STRING_PRETTY_TAB) ? '\t' : ' ',
                        (flags & JSON_C_TO_STRING_PRETTY_TAB) ? level : level * 2);
}

// json-c's own array layout, with each element printed as json-c prints an integer.
int print_int_array(json_object *object, printbuf *buffer, int level, int flags)
{
    const auto *array = static_cast<const int_array *>(json_object_get_userdata(object));
    const bool pretty = (flags & JSON_C_TO_STRING_PRETTY) != 0;
    const bool spaced = (flags & JSON_C_TO_STRING_SPACED) != 0 && !pretty;
    printbuf_strappend(buffer, "[");
    if (pretty)
        printbuf_strappend(buffer, "\n");
    for (size_t i = 0; i < array->size(); ++i) {
        if (i > 0) {
            printbuf_strappend(buffer, ",");
            if (pretty)
                printbuf_strappend(buffer, "\n");
        }
        if (spaced)
            printbuf_strappend(buffer, " ");
        indent(buffer, level + 1, flags);
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits, (*array)[i]).ptr;
        printbuf_memappend(buffer, digits, static_cast<int>(end - digits));
    }
    if (pretty) {
        if (array->size() > 0)
            printbuf_strappend(buffer, "\n");
        indent(buffer, level, flags);
    }
    return spaced ? printbuf_strappend(buffer, " ]") : printbuf_strappend(buffer, "]");
}

void free_int_array(json_object *, void *array)
{
    delete static_cast<int_array *>(array);
}
}  // namespace

json_object *json_int_array(const int32_t *values, size_t count)
{
    json_object *object = json_object_new_array();
    if (object == nullptr)
        return nullptr;
    auto *array = values != nullptr ? new int_array(values, values + count) : new int_array;
    json_object_set_serializer(object, print_int_array, array, free_int_array);
    return object;
}
