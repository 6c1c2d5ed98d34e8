// The database kinds every event shares: week schedules, white-LED and warning-light lists, HTTP
// notification records and PTZ action lists. Each event keeps its own rows under a table name (the
// constants below); the index is the event channel 0..63 unless said otherwise.
//
// Reads answer 0 when the row is stored, 1 when it is not (the record is then zero, a list reads
// as empty), -1 when the file cannot be read (locked past the time-out, I/O error, not a database):
// a page answers its error form on -1. Writes and copies answer 0 or -1. A copy writes the given
// in-memory record to every channel of the mask in one transaction, with what names the channel
// (the entries' chn_id) rewritten per channel.
#pragma once

#include "link/event_records.h"
#include "vxdb/vxdb_record.h"

#include <cstdint>

// ---- Table names ----

inline constexpr const char *MOTION_EFFECTIVE_SCHE = "motion_effective_sche";
inline constexpr const char *MOTION_AUDIBLE_SCHE = "motion_audible_sche";
inline constexpr const char *MOTION_EMAIL_SCHE = "motion_email_sche";
inline constexpr const char *MOTION_PTZ_SCHE = "motion_ptz_sche";
inline constexpr const char *MOTION_WHITELED_ESCHE = "motion_whiteled_esche";
inline constexpr const char *MOTION_WARNING_LIGHT_ESCHE = "motion_warning_light_esche";
inline constexpr const char *MOTION_HTTP_NOTIFICATION_SCHE = "motion_http_notification_sche";
inline constexpr const char *VIDEOLOSS_AUDIBLE_SCHE = "videoloss_audible_sche";
inline constexpr const char *VIDEOLOSS_EMAIL_SCHE = "videoloss_email_sche";
inline constexpr const char *VIDEOLOSS_PTZ_SCHE = "videoloss_ptz_sche";
inline constexpr const char *VIDEOLOSS_WHITELED_ESCHE = "videoloss_whiteled_esche";
inline constexpr const char *VIDEOLOSS_WARNING_LIGHT_ESCHE = "videoloss_warning_light_esche";
inline constexpr const char *VIDEOLOSS_HTTP_NOTIFICATION_SCHE = "videoloss_http_notification_sche";

inline constexpr const char *MOTION_WHITE_LED_PARAMS = "motion_white_led_params";
inline constexpr const char *MOTION_WARNING_LIGHT_PARAMS = "motion_warning_light_params";
inline constexpr const char *MOTION_HTTP_NOTIFICATION_PARAMS = "motion_http_notification_params";
inline constexpr const char *VIDEO_LOSS_WHITE_LED_PARAMS = "video_loss_white_led_params";
inline constexpr const char *VIDEO_LOSS_WARNING_LIGHT_PARAMS = "video_loss_warning_light_params";
inline constexpr const char *VIDEOLOSS_HTTP_NOTIFICATION_PARAMS = "videoloss_http_notification_params";
inline constexpr const char *EXCEPT_HTTP_NOTIFICATION_PARAMS = "except_http_notification_params";  // index 0..13

// ---- The kinds (for transactions of a page's own, vxdb_txn.h) ----

extern const vxdb_kind event_schedule_kind;         // event_schedule, named tables
extern const vxdb_kind whiteled_params_kind;        // whiteled_params_block, named tables
extern const vxdb_kind warning_light_params_kind;   // warning_light_params_block, named tables
extern const vxdb_kind http_notification_kind;      // http_notification_params, named tables
extern const vxdb_kind ptz_params_kind;             // ptz_action_list, index kind * 64 + channel
extern const vxdb_kind peoplecnt_ptz_params_kind;   // ptz_action_list, index channel
extern const vxdb_kind peoplecnt_wled_params_kind;  // whiteled_params_block, index channel

// ---- Schedules ----

int read_event_schedule(const char *path, event_schedule *schedule, const char *table, int chn);
int write_event_schedule(const char *path, const event_schedule *schedule, const char *table, int chn);
int copy_event_schedules(const char *path, const event_schedule *schedule, const char *table, uint64_t mask);

// The same, under the names the event pages use.
int read_whiteled_effective_schedule(const char *path, event_schedule *schedule, const char *table, int chn);
int write_whiteled_effective_schedule(const char *path, const event_schedule *schedule, const char *table, int chn);
int copy_whiteled_effective_schedules(const char *path, const event_schedule *schedule, const char *table,
                                      uint64_t mask);
int read_warning_light_effective_schedule(const char *path, event_schedule *schedule, const char *table, int chn);
int write_warning_light_effective_schedule(const char *path, const event_schedule *schedule, const char *table,
                                           int chn);
int copy_warning_light_effective_schedules(const char *path, const event_schedule *schedule, const char *table,
                                           uint64_t mask);
int read_http_notification_schedule(const char *path, event_schedule *schedule, const char *table, int chn);
int write_http_notification_schedule(const char *path, const event_schedule *schedule, const char *table, int chn);
int copy_http_notification_schedules(const char *path, const event_schedule *schedule, const char *table,
                                     uint64_t mask);

// ---- White-LED and warning-light lists: one block per event channel ----
// A block never stored (or not readable) reads with every slot ACTION_ENTRY_UNUSED: an empty list.

int read_whiteled_params(const char *path, whiteled_params_block *block, const char *table, int chn);
// Stores the block under `chn`; its used entries get chn_id = chn.
int write_whiteled_params_all(const char *path, const whiteled_params_block *block, const char *table, int chn);
int copy_whiteled_params(const char *path, const whiteled_params_block *block, const char *table, uint64_t mask);

int read_warning_light_params(const char *path, warning_light_params_block *block, const char *table, int chn);
int write_warning_light_params_all(const char *path, const warning_light_params_block *block, const char *table,
                                   int chn);
int copy_warning_light_params(const char *path, const warning_light_params_block *block, const char *table,
                              uint64_t mask);

// ---- HTTP notification records ----

int read_http_notification_params(const char *path, http_notification_params *record, const char *table, int chn);
// Stores the record under `chn`, its chn_id as given.
int write_http_notification_params(const char *path, const http_notification_params *record, const char *table,
                                   int chn);
// chn_id = channel in every copy.
int copy_http_notification_params(const char *path, const http_notification_params *record, const char *table,
                                  uint64_t mask);
// records[i] under index i, for i below `count` (at most 64), in one transaction. 0 or -1.
int write_http_notification_params_batch(const char *path, const http_notification_params *records, int count,
                                         const char *table);
// records[i] of index i for i below `count` (at most 64); a record not stored reads zero with
// chn_id -1 (not set). The number of records filled, or -1 (all of them as not stored).
int read_http_notification_params_batch(const char *path, http_notification_params *records, int count,
                                        const char *table);

// ---- PTZ action lists: per event kind 0..29 and channel 0..63 ----

int read_ptz_params(const char *path, ptz_action_list *list, int type, int chn);
// Stores the list of (type, chn); every entry gets chn_id = chn. -1 for a kind or channel out of range.
int write_ptz_params_all(const char *path, const ptz_action_list *list, int type, int chn);
int copy_ptz_params(const char *path, const ptz_action_list *list, int type, uint64_t mask);

// The people-counting list of camera `chn` (at most 16 used entries in the 64-entry list).
int read_peoplecnt_ptz_params(const char *path, ptz_action_list *list, int chn);
int write_peoplecnt_ptz_params_ex(const char *path, const ptz_action_list *list, int chn);
int copy_peoplecnt_ptz_params(const char *path, const ptz_action_list *list, uint64_t mask);

// The people-counting white-LED list of camera `chn` (16 entries).
int read_peoplecnt_wled_params(const char *path, whiteled_params_block *list, int chn);
int write_peoplecnt_wled_params(const char *path, const whiteled_params_block *list, int chn);
int copy_peoplecnt_wled_params(const char *path, const whiteled_params_block *list, uint64_t mask);
