// Per-event action settings between the database and the browser's JSON: camera alarm-output pairs,
// PTZ action lists, white-LED and warning-light lists and HTTP notification settings.
//
// The builders that read the database return a new JSON value, or null when the database cannot be
// read (the page then answers its error form). The readers (`_by_json`) return 0, or -1 with
// nothing stored when an argument is null, the member is absent or null, or the event channel is
// outside 0..63. A JSON null counts as an absent member everywhere.
#pragma once

#include "link/event_records.h"

#include <json-c/json.h>

// ---- Camera alarm outputs ----

// [first, second] (a null text gives "").
json_object *get_event_chn_alarmout_object(const char *first, const char *second);
// For elements 0 and 1 of the array member `key` that exist: pair[i] = {chn, i, text cut to 64}.
// 0, or -1 for a null argument, a member that is absent or not an array, or chn outside 0..63.
int get_event_chn_alarmout_by_object(int chn, json_object *request, const char *key, chn_alarmout_entry pair[2]);

// ---- PTZ action lists ----

// The list of event kind `type` (people counting, 20: its own list, 16 entries at most) and channel
// `chn`: one {"acto_ptz_channel", "acto_ptz_type", "acto_ptz_preset", "acto_ptz_patrol"} per entry
// whose PTZ channel is above 0. Null when the database cannot be read; [] for a kind or channel out
// of range.
json_object *get_ptz_params_json_object(int type, int chn);
// Clears `list` and fills one entry per element of `array` (the first 64) with chn_id = chn and the
// five integers "acto_ptz_channel", "acto_ptz_type", "acto_ptz_preset", "acto_ptz_patrol",
// "acto_ptz_pattern" (absent: 0). 0, or -1 (list untouched) for a null argument, an array that is not
// one, a channel outside 0..63 or a kind outside 0..29.
int get_ptz_params_by_json(int chn, int type, json_object *array, ptz_action_list *list);
// Converts and stores the list of (type, chn) in the database. 1 when stored, 0 when not.
int set_ptz_params_by_json(int chn, int type, json_object *array);

// ---- White LED ----

// At most 16 {"chnid", "mode", "time"}: the entries the list was stored with. Null when the database
// cannot be read.
json_object *get_white_params_json_object(int chn, const char *table);
// Clears the whole table and fills block `chn` from the array member `key`: at most 16 elements,
// up to the first missing one, each {"chnid", "mode", "time"} when the array's text holds "chnid"
// anywhere, else [chnid, mode, time]. Filled entries get chn_id = chn, the rest of the block
// ACTION_ENTRY_UNUSED. The page stores table->blocks[chn].
int get_white_params_by_json(int chn, whiteled_params_table *table, json_object *request, const char *key);

// The people-counting white-LED list of camera `chn`, the same shapes.
json_object *get_pcnt_white_params_json_object(int chn);
int get_pcnt_white_params_by_json(int chn, whiteled_params_block *list, json_object *request, const char *key);

// ---- Warning light ----

// At most 16 {"chnid", "time"}. Null when the database cannot be read.
json_object *get_warning_light_params_json_object(int chn, const char *table);
// As the white-LED reader, elements {"chnid", "time"} or [chnid, time].
int get_warning_light_params_by_json(int chn, warning_light_params_table *table, json_object *request,
                                     const char *key);

// ---- HTTP notification ----

// {"chnId": chn, "url", "username", "password"}. Null when the database cannot be read.
json_object *get_http_params_json_object(int chn, const char *table);
// Clears the record, sets chn_id = chn and copies "url", "username", "password" of the object member
// `key` cut to 512, 96 and 64 characters (absent: ""). 0, or -1 (record untouched) for a null
// argument or a member that is absent or not an object.
int get_http_params_by_json(int chn, http_notification_params *record, json_object *request, const char *key);
// The same from an object that is itself the settings (the exception page's members). -1 when
// `object` is null; an object that is not one gives empty texts.
int get_http_params_by_object(int chn, http_notification_params *record, json_object *object);
