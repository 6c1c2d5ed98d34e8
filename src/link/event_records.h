// The records every event kind shares: week schedules, per-camera action lists, HTTP notification
// settings and camera alarm-output pairs, as the configuration database stores them and the main
// service reads them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int EVENT_CHANNELS = 64;  // event channels 0..63

// ---- Week schedule ----

constexpr int SCHEDULE_DAYS = 8;            // day rows 0..7
constexpr int SCHEDULE_ITEMS = 48;          // segments held per day
constexpr int SCHEDULE_SHOWN_DAYS = 8;      // what the pages exchange: 8 days of 12 segments
constexpr int SCHEDULE_SHOWN_ITEMS = 12;
constexpr int SCHEDULE_IPC_DAYS = 7;        // the camera form: 7 days of 10 segments
constexpr int SCHEDULE_IPC_ITEMS = 10;
constexpr int SCHEDULE_TEXT = 32;           // start and end texts hold 31 characters

struct schedule_item {
    char start_time[SCHEDULE_TEXT];  // as the browser sent it
    char end_time[SCHEDULE_TEXT];
    int32_t action_type;             // passed through unchanged
    int32_t reserved;
};
static_assert(sizeof(schedule_item) == 72);
static_assert(offsetof(schedule_item, end_time) == 32);
static_assert(offsetof(schedule_item, action_type) == 64);

struct schedule_day {
    schedule_item items[SCHEDULE_ITEMS];
    int32_t valid;  // 1 on a day filled from the camera form
    int32_t reserved;
};
static_assert(sizeof(schedule_day) == 3464);
static_assert(offsetof(schedule_day, valid) == 3456);

struct event_schedule {
    schedule_day days[SCHEDULE_DAYS];
};
static_assert(sizeof(event_schedule) == 27712);

// ---- White LED ----

constexpr int ACTION_LIST_ENTRIES = 16;  // entries of one event channel's white-LED or warning-light list
constexpr int32_t ACTION_ENTRY_UNUSED = -1;  // chn_id of a list slot the request did not fill

struct whiteled_params_entry {
    int32_t chn_id;  // the event's channel; ACTION_ENTRY_UNUSED in a slot past the list
    int32_t chnid;   // the camera whose white LED reacts
    int32_t mode;
    int32_t time;
};
static_assert(sizeof(whiteled_params_entry) == 16);

// One event channel's list: the unit stored per channel (and the people-counting list).
struct whiteled_params_block {
    whiteled_params_entry entries[ACTION_LIST_ENTRIES];
};
static_assert(sizeof(whiteled_params_block) == 256);

// What a page holds while converting: one block per event channel 0..63.
struct whiteled_params_table {
    whiteled_params_block blocks[EVENT_CHANNELS];
};
static_assert(sizeof(whiteled_params_table) == 16384);

// ---- Warning light ----

struct warning_light_params_entry {
    int32_t chn_id;  // the event's channel; ACTION_ENTRY_UNUSED in a slot past the list
    int32_t chnid;   // the camera whose warning light reacts
    int32_t reserved0;
    int32_t reserved1;
    int32_t time;
    int32_t reserved2;
};
static_assert(sizeof(warning_light_params_entry) == 24);
static_assert(offsetof(warning_light_params_entry, chnid) == 4);
static_assert(offsetof(warning_light_params_entry, time) == 16);

struct warning_light_params_block {
    warning_light_params_entry entries[ACTION_LIST_ENTRIES];
};
static_assert(sizeof(warning_light_params_block) == 384);

struct warning_light_params_table {
    warning_light_params_block blocks[EVENT_CHANNELS];
};
static_assert(sizeof(warning_light_params_table) == 24576);

// ---- HTTP notification ----

constexpr int HTTP_URL_SIZE = 513;       // 512 characters
constexpr int HTTP_USERNAME_SIZE = 97;   // 96
constexpr int HTTP_PASSWORD_SIZE = 65;   // 64

struct http_notification_params {
    int32_t chn_id;  // the event channel (exception records: the kind, -1 when not set)
    char url[HTTP_URL_SIZE];
    char username[HTTP_USERNAME_SIZE];
    char password[HTTP_PASSWORD_SIZE];
    char pad;
};
static_assert(sizeof(http_notification_params) == 680);
static_assert(offsetof(http_notification_params, url) == 4);
static_assert(offsetof(http_notification_params, username) == 517);
static_assert(offsetof(http_notification_params, password) == 614);

constexpr int EXCEPTION_KINDS = 14;  // exception HTTP records 0..13

// ---- PTZ actions ----

constexpr int PTZ_LIST_ENTRIES = 64;
constexpr int PTZ_PEOPLECNT_ENTRIES = 16;  // used entries of the people-counting list

struct ptz_action_entry {
    int32_t chn_id;            // the event channel
    int32_t acto_ptz_channel;  // the PTZ camera to move; 0 or less: an empty entry
    int32_t reserved;
    int32_t acto_ptz_type;
    int32_t acto_ptz_preset;
    int32_t acto_ptz_patrol;
    int32_t acto_ptz_pattern;
};
static_assert(sizeof(ptz_action_entry) == 28);
static_assert(offsetof(ptz_action_entry, acto_ptz_type) == 12);
static_assert(offsetof(ptz_action_entry, acto_ptz_pattern) == 24);

struct ptz_action_list {
    ptz_action_entry entries[PTZ_LIST_ENTRIES];
};
static_assert(sizeof(ptz_action_list) == 1792);

// ---- Camera alarm outputs ----

constexpr int ALARMOUT_TEXT = 65;  // 64 characters, one per channel

// One of the two trigger texts an event channel keeps for its cameras' alarm outputs.
struct chn_alarmout_entry {
    int32_t chn_id;
    int32_t index;  // 0 or 1
    char value[ALARMOUT_TEXT];
    char pad[3];
};
static_assert(sizeof(chn_alarmout_entry) == 76);
static_assert(offsetof(chn_alarmout_entry, value) == 8);
