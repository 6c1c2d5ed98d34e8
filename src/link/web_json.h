// Reading request JSON with json-c, and owning json-c objects.
//
// Handlers hold every object they parse or build in a json_ptr, so it is released on every path:
//
//     json_ptr request(get_request_tokener_json_object(data));
//     if (!request) ...
//     json_ptr answer(json_object_new_object());
//     json_object_object_add(answer.get(), "id", json_object_new_int(3));
//     cgi_writeback_webserver(1, json_object_to_json_string(answer.get()));
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <memory>

struct json_object_putter {
    void operator()(json_object *object) const { json_object_put(object); }
};
using json_ptr = std::unique_ptr<json_object, json_object_putter>;

// Parses a request body. The object (release with json_object_put, or hold it in a json_ptr), or
// null when `text` is null or does not parse, also when it holds an integer beyond 64 bits (json-c
// would store the nearest 64-bit value instead).
json_object *get_request_tokener_json_object(const char *text);

// Parses `text` and stores the integer value of its top-level member `key` in `*out`. 0, or -1 when
// an argument is null, the text does not parse or the member is missing or null.
int on_cgi_get_value_by_json(const char *text, const char *key, int *out);

// Stores the integer value of member `key` of `object` in `*out` (json-c's reading: numbers in text
// are read, other text counts as 0). 0, or -1 when an argument is null or the member is missing or
// null (`*out` is then unchanged).
int on_cgi_get_int_from_json(json_object *object, const char *key, int *out);

// Copies the string form of member `key` into `buffer`, cut to `size` - 1 characters and always
// terminated. 0, or -1 when an argument is null, `size` is below 1 or the member is missing or null
// (the buffer is then unchanged).
int on_cgi_get_string_from_json(json_object *object, const char *key, char *buffer, int size);

// An array of integers for an answer, as one object instead of one per element: the numbers are
// printed straight into json-c's buffer when the answer is written, exactly as json-c prints an array
// of integer objects (in every form). For long lists, such as the 128 words of each log entry of a
// page. Release it like any object; it reads as an empty array.
json_object *json_int_array(const int32_t *values, size_t count);
