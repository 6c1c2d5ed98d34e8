// Event kind numbers: which event a PTZ action list belongs to. The browser sends them back as
// "ptzType", so the numbers are part of the pages' contract and never change.
#pragma once

constexpr int EVENT_KIND_ALARM_IN = 0;             // recorder alarm input
constexpr int EVENT_KIND_MOTION = 1;
constexpr int EVENT_KIND_VIDEO_LOSS = 2;
constexpr int EVENT_KIND_SMART_FIRST = 5;          // the nine analysis events, 5..13
constexpr int EVENT_KIND_SMART_COUNT = 9;
constexpr int EVENT_KIND_PLATE_BASE = 15;          // plate recognition: 15 + list mode (-1..2), 14..17
constexpr int EVENT_KIND_PLATE_MODE_FIRST = -1;
constexpr int EVENT_KIND_PLATE_MODE_LAST = 2;
constexpr int EVENT_KIND_PEOPLE_COUNTING = 20;     // its list lives in a table of its own
constexpr int EVENT_KIND_POS = 21;                 // point-of-sale event
constexpr int EVENT_KIND_REGION_COUNTING_BASE = 22; // regional people counting: 22 + region (0..3)
constexpr int EVENT_KIND_REGION_COUNT = 4;
constexpr int EVENT_KIND_CAMERA_ALARM_IN_BASE = 26; // camera alarm input n: 26 + n (0..3)
constexpr int EVENT_KIND_CAMERA_ALARM_INS = 4;
constexpr int EVENT_KIND_COUNT = 30;               // valid kinds: 0..29

// The PTZ event kind of analysis event `event` (0..8): 5 + event; -1 for any other index.
int get_smart_event_ptz_type(int event);

// The PTZ event kind of a camera's alarm input `n` (0..3): 26 + n; -1 for any other input.
int converse_chn_alarmid_to_event_in(int n);

// 1 when `kind` names a stored PTZ list (0..29), else 0.
int event_kind_valid(int kind);
