#include "system/log_query.h"

#include "link/json_fields.h"
#include "link/web_json.h"

#include <cstdint>
#include <cstring>
#include <ctime>

namespace {
constexpr size_t TIME_TEXT_SIZE = 32;   // up to 31 characters
constexpr size_t CHANNEL_TEXT_SIZE = 65;  // one '0'/'1' per channel, 64 channels
constexpr int64_t ALL_SUB_TYPES = 10;
constexpr int32_t OPERATION_MAIN_TYPE = 4;
constexpr int OPERATION_WORDS = 3;
constexpr int BITS_PER_WORD = 30;
constexpr int64_t operation_bases[OPERATION_WORDS] = {101, 131, 200};

// The keys both pages send, before they become the query.
struct query_keys {
    char language[LOG_LANGUAGE_SIZE];
    int32_t main_type;
    char start[TIME_TEXT_SIZE];
    char end[TIME_TEXT_SIZE];
    int32_t page;
    int32_t no_channel;
    char channels[CHANNEL_TEXT_SIZE];  // search: '1' at position i selects channel i
    uint64_t channel_mask;             // export
};

// The keys both pages take, first in both tables.
#define LOG_QUERY_KEYS                                                                                       \
    JSON_TEXT("language", query_keys, language, JF_REQUIRED),                                                \
        JSON_INT("mainType", query_keys, main_type, JF_REQUIRED, 1, 64),                                     \
        JSON_TEXT("startTime", query_keys, start, JF_REQUIRED),                                              \
        JSON_TEXT("endTime", query_keys, end, JF_REQUIRED),                                                  \
        JSON_INT("curPageNum", query_keys, page, JF_REQUIRED, JF_ANY)

const json_field search_keys[] = {
    LOG_QUERY_KEYS,
    JSON_TEXT("chnMask", query_keys, channels, JF_OPTIONAL),
    JSON_INT("searchNoChn", query_keys, no_channel, JF_OPTIONAL, JF_ANY),
};

const json_field export_keys[] = {
    LOG_QUERY_KEYS,
    JSON_INT("ch", query_keys, channel_mask, JF_OPTIONAL, JF_ANY),
    JSON_INT("na", query_keys, no_channel, JF_OPTIONAL, JF_ANY),
};

// "subTypeArr": 1 to 100 integers, the first above 9.
int read_sub_types(json_object *request, log_query *query)
{
    json_object *list = nullptr;
    if (!json_object_object_get_ex(request, "subTypeArr", &list) || !json_object_is_type(list, json_type_array))
        return -1;
    const size_t count = json_object_array_length(list);
    if (count < 1 || count > LOG_MAX_SUB_TYPES)
        return -1;
    for (size_t i = 0; i < count; ++i) {
        json_object *value = json_object_array_get_idx(list, i);
        if (!json_object_is_type(value, json_type_int))
            return -1;
        query->sub_types[i] = json_object_get_int64(value);
    }
    query->sub_type_count = static_cast<int32_t>(count);
    return query->sub_types[0] > 9 ? 0 : -1;
}

uint64_t channel_mask_of(const char *channels)
{
    uint64_t mask = 0;
    for (size_t i = 0; i < 64 && channels[i] != '\0'; ++i) {
        if (channels[i] == '1')
            mask |= uint64_t{1} << i;
    }
    return mask;
}

int fill_query(json_object *request, log_query_form form, log_query *query, char (&language)[LOG_LANGUAGE_SIZE])
{
    query_keys keys{};
    const bool search = form == LOG_QUERY_SEARCH;
    const int read = search ? json_read_fields(request, search_keys, &keys) : json_read_fields(request, export_keys, &keys);
    if (read != 0 || read_sub_types(request, query) != 0)
        return -1;
    const char *pattern = search ? "%Y-%m-%d %H:%M:%S" : "%Y-%m-%dT%H:%M:%S";
    int64_t start = 0, end = 0;
    if (log_parse_time(keys.start, pattern, &start) != 0 || log_parse_time(keys.end, pattern, &end) != 0)
        return -1;
    query->start_time = static_cast<int32_t>(start);  // the wire keeps 32 bits of seconds
    query->end_time = static_cast<int32_t>(end);
    query->main_type = keys.main_type;
    query->page = search ? keys.page : 1;
    query->channel_mask = search ? channel_mask_of(keys.channels) : keys.channel_mask;
    query->no_channel = keys.no_channel;
    if (!search)
        log_expand_operation_sub_types(query);
    memcpy(language, keys.language, sizeof language);
    return 0;
}
}  // namespace

int log_read_query(const char *data, log_query_form form, log_query *query, char (&language)[LOG_LANGUAGE_SIZE])
{
    *query = log_query{};
    json_ptr request(get_request_tokener_json_object(data));
    if (!json_object_is_type(request.get(), json_type_object) || fill_query(request.get(), form, query, language) != 0) {
        *query = log_query{};
        return -1;
    }
    return 0;
}

void log_expand_operation_sub_types(log_query *query)
{
    if (query->main_type != OPERATION_MAIN_TYPE || query->sub_type_count < 1 || query->sub_types[0] == ALL_SUB_TYPES)
        return;
    int64_t named[OPERATION_WORDS * BITS_PER_WORD];
    int count = 0;
    const int words = query->sub_type_count < OPERATION_WORDS ? query->sub_type_count : OPERATION_WORDS;
    for (int w = 0; w < words; ++w) {
        if (query->sub_types[w] < ALL_SUB_TYPES)
            continue;  // a value below 10 names nothing (not all 30 sub types of its word)
        const int64_t bits = query->sub_types[w] - ALL_SUB_TYPES;
        for (int i = 0; i < BITS_PER_WORD; ++i) {
            if ((bits >> i) & 1)
                named[count++] = operation_bases[w] + i;
        }
    }
    memset(query->sub_types, 0, sizeof query->sub_types);
    memcpy(query->sub_types, named, static_cast<size_t>(count) * sizeof named[0]);
    query->sub_type_count = count;
}

int log_parse_time(const char *text, const char *pattern, int64_t *seconds)
{
    tm local{};
    const char *rest = strptime(text, pattern, &local);
    if (rest == nullptr || *rest != '\0')
        return -1;
    local.tm_isdst = -1;
    *seconds = static_cast<int64_t>(mktime(&local));
    return 0;
}
