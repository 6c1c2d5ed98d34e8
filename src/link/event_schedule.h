// Week schedules between the database record and the browser's JSON. Answers carry a day's segments
// as objects with named members, requests as positional arrays: the pages rely on both shapes.
//
// The builders return a new JSON value the caller attaches to its answer (or releases): null only
// when the schedule is null or memory runs out. The readers clear the whole schedule and fill it
// from member `key` of the request; 0, or -1 (schedule untouched) when an argument is null or the
// member is absent, null or not an array. A page writes the schedule only on 0.
#pragma once

#include "link/event_records.h"

#include <json-c/json.h>

// 8 day arrays of 12 {"startTime", "endTime", "actionType"} (segments 0..11 of each day).
json_object *get_schedule_json_object(const event_schedule *schedule);
// 8 day arrays of 12 [start, end, action type] (extra days and segments ignored; a missing day,
// segment or element reads as an empty segment, "" or 0); texts cut to 31 characters.
int get_schedule_by_json(json_object *request, const char *key, event_schedule *schedule);

// The same conversions; the pages use this pair for the buzzer, e-mail and PTZ schedules.
json_object *get_schedule_json_object_ex(const event_schedule *schedule);
int get_schedule_by_json_ex(json_object *request, const char *key, event_schedule *schedule);

// The camera form: 8 day arrays of 12 {"startTime", "endTime"}; a day whose valid word is 0 gives ""
// for all its texts.
json_object *get_schedule_json_object_ipc(const event_schedule *schedule);
// 7 day arrays of 10 [start, end]; sets valid on days 0..6.
int get_schedule_by_json_ipc(json_object *request, const char *key, event_schedule *schedule);
