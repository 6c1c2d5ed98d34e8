// Small readers of event requests: the copy-to-channels mask and a section of a query text.
#pragma once

#include <json-c/json.h>

#include <cstdint>

// The channels a page's settings are copied to: reads the integer member `count_key`; when it is 1
// or more, reads min(count, length) elements of the array member `array_key` and sets bit n for
// every integer element n in 0..63 (other elements are skipped). The mask; 0 when an argument is
// null, the count is absent, null or below 1, or the array is absent.
uint64_t get_copy_flag_by_json(json_object *request, const char *array_key, const char *count_key);

// Copies what follows the first `pattern` in `text` up to the next '?' or the end into `out`, at
// most size - 1 characters, always terminated. 0, or -1 when an argument is null or empty, `size`
// is below 1 or the pattern is absent (`out` then "" when it has room).
int get_section_info(const char *text, const char *pattern, char *out, int size);
