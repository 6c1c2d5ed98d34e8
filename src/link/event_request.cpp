#include "link/event_request.h"
#include "link/event_json.h"

#include <cstring>

uint64_t get_copy_flag_by_json(json_object *request, const char *array_key, const char *count_key)
{
    int32_t count = 0;
    if (array_key == nullptr || count_key == nullptr || event_int(event_member(request, count_key), &count) != 0 ||
        count < 1)
        return 0;
    json_object *channels = event_array_member(request, array_key);
    const size_t length = channels != nullptr ? json_object_array_length(channels) : 0;
    const size_t taken = static_cast<size_t>(count) < length ? static_cast<size_t>(count) : length;
    uint64_t mask = 0;
    for (size_t i = 0; i < taken; ++i) {
        json_object *element = event_element(channels, i);
        int32_t channel = -1;
        // Only a number that names a channel sets a bit: a shift by anything else is no channel.
        if (element != nullptr && event_int(element, &channel) == 0 && channel >= 0 && channel < 64)
            mask |= uint64_t{1} << channel;
    }
    return mask;
}

int get_section_info(const char *text, const char *pattern, char *out, int size)
{
    if (out == nullptr || size < 1)
        return -1;
    out[0] = '\0';
    if (text == nullptr || pattern == nullptr || text[0] == '\0' || pattern[0] == '\0')
        return -1;
    const char *found = strstr(text, pattern);
    if (found == nullptr)
        return -1;
    const char *start = found + strlen(pattern);
    size_t length = strcspn(start, "?");
    if (length > static_cast<size_t>(size) - 1)
        length = static_cast<size_t>(size) - 1;
    memcpy(out, start, length);
    out[length] = '\0';
    return 0;
}
