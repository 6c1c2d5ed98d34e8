#include "link/event_kinds.h"

int get_smart_event_ptz_type(int event)
{
    return event >= 0 && event < EVENT_KIND_SMART_COUNT ? EVENT_KIND_SMART_FIRST + event : -1;
}

int converse_chn_alarmid_to_event_in(int n)
{
    return n >= 0 && n < EVENT_KIND_CAMERA_ALARM_INS ? EVENT_KIND_CAMERA_ALARM_IN_BASE + n : -1;
}

int event_kind_valid(int kind)
{
    return kind >= 0 && kind < EVENT_KIND_COUNT ? 1 : 0;
}
