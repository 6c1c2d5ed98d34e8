#include "link/event_schedule.h"
#include "link/event_json.h"
#include "link/json_fields.h"

#include <memory>

namespace {
const json_field segment_keys[] = {
    JSON_OUT_TEXT("startTime", schedule_item, start_time),
    JSON_OUT_TEXT("endTime", schedule_item, end_time),
    JSON_OUT_INT("actionType", schedule_item, action_type),
};
const json_field camera_segment_keys[] = {
    JSON_OUT_TEXT("startTime", schedule_item, start_time),
    JSON_OUT_TEXT("endTime", schedule_item, end_time),
};

// The shape a page exchanges: how many days and segments, whether a segment carries its action.
struct schedule_shape {
    int days;
    int items;
    bool with_action;
};
constexpr schedule_shape page_shape = {SCHEDULE_SHOWN_DAYS, SCHEDULE_SHOWN_ITEMS, true};
constexpr schedule_shape camera_shape = {SCHEDULE_IPC_DAYS, SCHEDULE_IPC_ITEMS, false};

json_object *schedule_object(const event_schedule *schedule, const json_field *keys, size_t key_count,
                             bool only_valid_days)
{
    if (schedule == nullptr)
        return nullptr;
    static const schedule_item empty{};
    json_object *week = json_object_new_array();
    for (int d = 0; week != nullptr && d < SCHEDULE_SHOWN_DAYS; ++d) {
        const schedule_day &day = schedule->days[d];
        json_object *segments = json_object_new_array();
        for (int s = 0; segments != nullptr && s < SCHEDULE_SHOWN_ITEMS; ++s) {
            const schedule_item &item = only_valid_days && day.valid == 0 ? empty : day.items[s];
            json_object_array_add(segments, json_fields_object(keys, key_count, &item));
        }
        json_object_array_add(week, segments);
    }
    return week;
}

// A segment [start, end, action]; a missing element is "" or 0, anything but an array an empty
// segment. -1 for an action that is no integer.
int read_segment(json_object *segment, const schedule_shape &shape, schedule_item *item)
{
    if (!json_object_is_type(segment, json_type_array))
        return 0;
    event_text(event_element(segment, 0), item->start_time, sizeof item->start_time);
    event_text(event_element(segment, 1), item->end_time, sizeof item->end_time);
    return shape.with_action ? event_int(event_element(segment, 2), &item->action_type) : 0;
}

int schedule_by_json(json_object *request, const char *key, event_schedule *schedule, const schedule_shape &shape)
{
    json_object *week = event_array_member(request, key);
    if (week == nullptr || schedule == nullptr)
        return -1;
    // Filled aside, so that a request refused half-way leaves the caller's schedule as it was.
    auto filled = std::make_unique<event_schedule>();
    for (int d = 0; d < shape.days; ++d) {
        json_object *day = event_element(week, static_cast<size_t>(d));
        for (int s = 0; s < shape.items; ++s) {
            if (read_segment(event_element(day, static_cast<size_t>(s)), shape, &filled->days[d].items[s]) != 0)
                return -1;
        }
        if (!shape.with_action)
            filled->days[d].valid = 1;
    }
    *schedule = *filled;
    return 0;
}
}  // namespace

json_object *get_schedule_json_object(const event_schedule *schedule)
{
    return schedule_object(schedule, segment_keys, std::size(segment_keys), false);
}

int get_schedule_by_json(json_object *request, const char *key, event_schedule *schedule)
{
    return schedule_by_json(request, key, schedule, page_shape);
}

json_object *get_schedule_json_object_ex(const event_schedule *schedule)
{
    return get_schedule_json_object(schedule);
}

int get_schedule_by_json_ex(json_object *request, const char *key, event_schedule *schedule)
{
    return get_schedule_by_json(request, key, schedule);
}

json_object *get_schedule_json_object_ipc(const event_schedule *schedule)
{
    return schedule_object(schedule, camera_segment_keys, std::size(camera_segment_keys), true);
}

int get_schedule_by_json_ipc(json_object *request, const char *key, event_schedule *schedule)
{
    return schedule_by_json(request, key, schedule, camera_shape);
}
