#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_json.h"
#include "link/event_kinds.h"
#include "link/json_fields.h"
#include "vxdb/vxdb.h"

#include <cstring>

namespace {
// ---- Answer tables ----

const json_field ptz_answer_keys[] = {
    JSON_OUT_INT("acto_ptz_channel", ptz_action_entry, acto_ptz_channel),
    JSON_OUT_INT("acto_ptz_type", ptz_action_entry, acto_ptz_type),
    JSON_OUT_INT("acto_ptz_preset", ptz_action_entry, acto_ptz_preset),
    JSON_OUT_INT("acto_ptz_patrol", ptz_action_entry, acto_ptz_patrol),
};
const json_field white_answer_keys[] = {
    JSON_OUT_INT("chnid", whiteled_params_entry, chnid),
    JSON_OUT_INT("mode", whiteled_params_entry, mode),
    JSON_OUT_INT("time", whiteled_params_entry, time),
};
const json_field warning_light_answer_keys[] = {
    JSON_OUT_INT("chnid", warning_light_params_entry, chnid),
    JSON_OUT_INT("time", warning_light_params_entry, time),
};
const json_field http_answer_keys[] = {
    JSON_OUT_TEXT("url", http_notification_params, url),
    JSON_OUT_TEXT("username", http_notification_params, username),
    JSON_OUT_TEXT("password", http_notification_params, password),
};

// ---- Request tables: a list element as an object, and the same element as a positional array ----

const json_field ptz_request_keys[] = {
    JSON_INT("acto_ptz_channel", ptz_action_entry, acto_ptz_channel, JF_OPTIONAL, JF_ANY),
    JSON_INT("acto_ptz_type", ptz_action_entry, acto_ptz_type, JF_OPTIONAL, JF_ANY),
    JSON_INT("acto_ptz_preset", ptz_action_entry, acto_ptz_preset, JF_OPTIONAL, JF_ANY),
    JSON_INT("acto_ptz_patrol", ptz_action_entry, acto_ptz_patrol, JF_OPTIONAL, JF_ANY),
    JSON_INT("acto_ptz_pattern", ptz_action_entry, acto_ptz_pattern, JF_OPTIONAL, JF_ANY),
};
const json_field white_request_keys[] = {
    JSON_INT("chnid", whiteled_params_entry, chnid, JF_OPTIONAL, JF_ANY),
    JSON_INT("mode", whiteled_params_entry, mode, JF_OPTIONAL, JF_ANY),
    JSON_INT("time", whiteled_params_entry, time, JF_OPTIONAL, JF_ANY),
};
const json_field warning_light_request_keys[] = {
    JSON_INT("chnid", warning_light_params_entry, chnid, JF_OPTIONAL, JF_ANY),
    JSON_INT("time", warning_light_params_entry, time, JF_OPTIONAL, JF_ANY),
};
const json_field http_request_keys[] = {
    JSON_TEXT("url", http_notification_params, url, JF_OPTIONAL),
    JSON_TEXT("username", http_notification_params, username, JF_OPTIONAL),
    JSON_TEXT("password", http_notification_params, password, JF_OPTIONAL),
};
constexpr size_t white_positions[] = {offsetof(whiteled_params_entry, chnid), offsetof(whiteled_params_entry, mode),
                                      offsetof(whiteled_params_entry, time)};
constexpr size_t warning_light_positions[] = {offsetof(warning_light_params_entry, chnid),
                                              offsetof(warning_light_params_entry, time)};

bool channel_valid(int chn)
{
    return chn >= 0 && chn < EVENT_CHANNELS;
}

template <typename Entry>
bool entry_used(const Entry &entry)
{
    return entry.chn_id != ACTION_ENTRY_UNUSED;
}

bool ptz_entry_used(const ptz_action_entry &entry)
{
    return entry.acto_ptz_channel > 0;
}

// Fills `entries` from the list: at most 16 elements, up to the first missing one (or one of the
// other form). Filled entries name the event channel, the rest are unused. -1 for a value that is
// no integer.
template <typename Entry, size_t K, size_t P>
int read_action_list(json_object *array, int chn, Entry (&entries)[ACTION_LIST_ENTRIES], const json_field (&keys)[K],
                     const size_t (&positions)[P])
{
    for (auto &entry : entries) {
        entry = Entry{};
        entry.chn_id = ACTION_ENTRY_UNUSED;
    }
    // One form for the whole list, told by the text of the array as the browser sent it.
    const bool objects = strstr(json_object_to_json_string(array), "chnid") != nullptr;
    for (int i = 0; i < ACTION_LIST_ENTRIES; ++i) {
        json_object *element = event_element(array, static_cast<size_t>(i));
        if (!json_object_is_type(element, objects ? json_type_object : json_type_array))
            break;
        Entry entry{};
        if (objects) {
            if (json_read_fields(element, keys, &entry) != 0)
                return -1;
        } else {
            for (size_t p = 0; p < P; ++p) {
                int32_t value = 0;
                if (event_int(event_element(element, p), &value) != 0)
                    return -1;
                memcpy(reinterpret_cast<unsigned char *>(&entry) + positions[p], &value, sizeof value);
            }
        }
        entry.chn_id = chn;
        entries[i] = entry;
    }
    return 0;
}

template <typename Block, typename Entry, size_t K, size_t P>
int list_by_json(int chn, Block *block, json_object *request, const char *key, const json_field (&keys)[K],
                 const size_t (&positions)[P])
{
    json_object *array = event_array_member(request, key);
    if (block == nullptr || array == nullptr || !channel_valid(chn))
        return -1;
    Block filled;
    if (read_action_list<Entry>(array, chn, filled.entries, keys, positions) != 0)
        return -1;
    *block = filled;
    return 0;
}

// The answer for a stored list: its used entries; [] when none is stored, null when the file cannot
// be read.
template <typename Entry, size_t K>
json_object *list_object(int rc, const Entry *entries, int count, const json_field (&keys)[K],
                         bool (*keep)(const Entry &))
{
    if (rc < 0)
        return nullptr;
    return json_record_array<Entry>(entries, rc == 0 ? count : 0, keys, keep);
}
}  // namespace

// ---- Camera alarm outputs ----

json_object *get_event_chn_alarmout_object(const char *first, const char *second)
{
    json_object *pair = json_object_new_array();
    if (pair == nullptr)
        return nullptr;
    json_object_array_add(pair, json_text_field(first ? first : "", ALARMOUT_TEXT - 1));
    json_object_array_add(pair, json_text_field(second ? second : "", ALARMOUT_TEXT - 1));
    return pair;
}

int get_event_chn_alarmout_by_object(int chn, json_object *request, const char *key, chn_alarmout_entry pair[2])
{
    json_object *texts = event_array_member(request, key);
    if (pair == nullptr || texts == nullptr || !channel_valid(chn))
        return -1;
    for (int i = 0; i < 2; ++i) {
        json_object *text = event_element(texts, static_cast<size_t>(i));
        if (text == nullptr)
            continue;
        pair[i] = chn_alarmout_entry{};
        pair[i].chn_id = chn;
        pair[i].index = i;
        event_text(text, pair[i].value, sizeof pair[i].value);
    }
    return 0;
}

// ---- PTZ action lists ----

json_object *get_ptz_params_json_object(int type, int chn)
{
    if (!channel_valid(chn) || !event_kind_valid(type))
        return json_object_new_array();
    ptz_action_list list;
    const bool counting = type == EVENT_KIND_PEOPLE_COUNTING;
    const int rc = counting ? read_peoplecnt_ptz_params(VXDB_MAIN_DB, &list, chn)
                            : read_ptz_params(VXDB_MAIN_DB, &list, type, chn);
    return list_object(rc, list.entries, counting ? PTZ_PEOPLECNT_ENTRIES : PTZ_LIST_ENTRIES, ptz_answer_keys,
                       ptz_entry_used);
}

int get_ptz_params_by_json(int chn, int type, json_object *array, ptz_action_list *list)
{
    if (list == nullptr || !json_object_is_type(array, json_type_array) || !channel_valid(chn) ||
        !event_kind_valid(type))
        return -1;
    const size_t most = type == EVENT_KIND_PEOPLE_COUNTING ? PTZ_PEOPLECNT_ENTRIES : PTZ_LIST_ENTRIES;
    const size_t length = json_object_array_length(array);
    ptz_action_list filled{};
    for (size_t i = 0; i < length && i < most; ++i) {
        ptz_action_entry &entry = filled.entries[i];
        json_object *element = event_element(array, i);
        if (element != nullptr && json_read_fields(element, ptz_request_keys, &entry) != 0)
            return -1;
        entry.chn_id = chn;
    }
    *list = filled;
    return 0;
}

int set_ptz_params_by_json(int chn, int type, json_object *array)
{
    ptz_action_list list;
    if (array == nullptr || get_ptz_params_by_json(chn, type, array, &list) != 0)
        return 0;
    const int rc = type == EVENT_KIND_PEOPLE_COUNTING ? write_peoplecnt_ptz_params_ex(VXDB_MAIN_DB, &list, chn)
                                                      : write_ptz_params_all(VXDB_MAIN_DB, &list, type, chn);
    return rc == 0 ? 1 : 0;
}

// ---- White LED ----

json_object *get_white_params_json_object(int chn, const char *table)
{
    if (!channel_valid(chn))
        return json_object_new_array();
    whiteled_params_block block;
    const int rc = read_whiteled_params(VXDB_MAIN_DB, &block, table, chn);
    return list_object(rc, block.entries, ACTION_LIST_ENTRIES, white_answer_keys, entry_used<whiteled_params_entry>);
}

int get_white_params_by_json(int chn, whiteled_params_table *table, json_object *request, const char *key)
{
    whiteled_params_block block;
    if (table == nullptr ||
        list_by_json<whiteled_params_block, whiteled_params_entry>(chn, &block, request, key, white_request_keys,
                                                                   white_positions) != 0)
        return -1;
    memset(table, 0, sizeof *table);
    table->blocks[chn] = block;
    return 0;
}

json_object *get_pcnt_white_params_json_object(int chn)
{
    if (!channel_valid(chn))
        return json_object_new_array();
    whiteled_params_block list;
    const int rc = read_peoplecnt_wled_params(VXDB_MAIN_DB, &list, chn);
    return list_object(rc, list.entries, ACTION_LIST_ENTRIES, white_answer_keys, entry_used<whiteled_params_entry>);
}

int get_pcnt_white_params_by_json(int chn, whiteled_params_block *list, json_object *request, const char *key)
{
    return list_by_json<whiteled_params_block, whiteled_params_entry>(chn, list, request, key, white_request_keys,
                                                                      white_positions);
}

// ---- Warning light ----

json_object *get_warning_light_params_json_object(int chn, const char *table)
{
    if (!channel_valid(chn))
        return json_object_new_array();
    warning_light_params_block block;
    const int rc = read_warning_light_params(VXDB_MAIN_DB, &block, table, chn);
    return list_object(rc, block.entries, ACTION_LIST_ENTRIES, warning_light_answer_keys,
                       entry_used<warning_light_params_entry>);
}

int get_warning_light_params_by_json(int chn, warning_light_params_table *table, json_object *request,
                                     const char *key)
{
    warning_light_params_block block;
    if (table == nullptr ||
        list_by_json<warning_light_params_block, warning_light_params_entry>(
            chn, &block, request, key, warning_light_request_keys, warning_light_positions) != 0)
        return -1;
    memset(table, 0, sizeof *table);
    table->blocks[chn] = block;
    return 0;
}

// ---- HTTP notification ----

json_object *get_http_params_json_object(int chn, const char *table)
{
    http_notification_params record;
    if (read_http_notification_params(VXDB_MAIN_DB, &record, table, chn) < 0 && channel_valid(chn))
        return nullptr;
    json_object *answer = json_object_new_object();
    if (answer == nullptr)
        return nullptr;
    json_object_object_add(answer, "chnId", json_object_new_int(chn));
    json_add_fields(answer, http_answer_keys, &record);
    return answer;
}

int get_http_params_by_json(int chn, http_notification_params *record, json_object *request, const char *key)
{
    json_object *settings = event_member(request, key);
    if (!json_object_is_type(settings, json_type_object) || !channel_valid(chn))
        return -1;
    return get_http_params_by_object(chn, record, settings);
}

int get_http_params_by_object(int chn, http_notification_params *record, json_object *object)
{
    if (record == nullptr || object == nullptr)
        return -1;
    *record = http_notification_params{};
    record->chn_id = chn;
    if (json_object_is_type(object, json_type_object))
        json_read_fields(object, http_request_keys, record);  // texts only: never refused
    return 0;
}
