// Reading the members and elements of event requests, shared by the event converters. A JSON null
// is an absent value everywhere; integers are read as the key tables read them (a JSON integer or a
// string holding one, within int32), texts are the string form cut to their field.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>

// The member `key` of an object; null when the object is null or no object, or the member is absent
// or JSON null.
json_object *event_member(json_object *object, const char *key);

// The member `key` when it is an array, else null.
json_object *event_array_member(json_object *object, const char *key);

// Element `i` of an array; null past its end, for JSON null and when `array` is no array.
json_object *event_element(json_object *array, size_t i);

// Reads an integer value into *out: 0 for a null value (*out = 0) or an integer in int32; -1 for any
// other value (*out untouched).
int event_int(json_object *value, int32_t *out);

// The value's text (its JSON form when it is no string; "" for null) into a field of `size` bytes,
// cut to size - 1 characters, zero-filled after it.
void event_text(json_object *value, char *field, size_t size);
