// The video module's records in the configuration database: motion and video loss per channel, the
// camera-IO and volume-detection events per channel, and the exception actions.
//
// Reads give 0 when the record is stored, 1 when it is not (the record is then zero with its channel
// set: the default), -1 when the file cannot be read (busy past the time-out, I/O error, not a
// database). Writes and copies give 0 or -1. A copy writes the given record, as it is in memory, to
// every channel of the mask in one transaction, with each copy's channel field rewritten.
#pragma once

#include "video/video_records.h"
#include "vxdb/vxdb_record.h"

#include <cstdint>

// The rows of each kind, for changes in one transaction (vxdb_change of vxdb_txn.h).
extern const vxdb_kind motion_kind;
extern const vxdb_kind video_loss_kind;
extern const vxdb_kind cameraio_kind;
extern const vxdb_kind volumedetect_kind;
extern const vxdb_kind trigger_alarms_kind;

int read_motion(const char *path, motion_record *record, int channel);
int write_motion(const char *path, const motion_record *record);  // under record->channel
int copy_motions(const char *path, const motion_record *source, uint64_t mask);

int read_video_lost(const char *path, video_loss_record *record, int channel);
int write_video_lost(const char *path, const video_loss_record *record);
int copy_video_losts(const char *path, const video_loss_record *source, uint64_t mask);

int read_cameraio(const char *path, camera_event_record *record, int channel);
int write_cameraio(const char *path, const camera_event_record *record);
int read_volumedetect(const char *path, camera_event_record *record, int channel);
int write_volumedetect(const char *path, const camera_event_record *record);

int read_trigger_alarms(const char *path, trigger_alarms *record);
int write_trigger_alarms(const char *path, const trigger_alarms *record);

// Every channel n (0..63) whose bit is set, in ascending order, into `channels`; the count.
int video_mask_channels(uint64_t mask, int32_t (&channels)[VIDEO_CHANNELS]);

// ---- The motion and video-loss schedules, over the shared schedule kind ----
// The early pages' buzzer schedule is the audible one: "/6011" reads what "/6013" writes.

struct event_schedule;

int read_motion_effective_schedule(const char *path, event_schedule *schedule, int chn);
int write_motion_effective_schedule(const char *path, const event_schedule *schedule, int chn);
int read_motion_audible_schedule(const char *path, event_schedule *schedule, int chn);
int write_motion_audible_schedule(const char *path, const event_schedule *schedule, int chn);
int write_motion_schedule(const char *path, const event_schedule *schedule, int chn);
int read_motion_email_schedule(const char *path, event_schedule *schedule, int chn);
int write_motion_email_schedule(const char *path, const event_schedule *schedule, int chn);
int read_motion_ptz_schedule(const char *path, event_schedule *schedule, int chn);
int write_motion_ptz_schedule(const char *path, const event_schedule *schedule, int chn);

int read_videoloss_audible_schedule(const char *path, event_schedule *schedule, int chn);
int write_videoloss_audible_schedule(const char *path, const event_schedule *schedule, int chn);
int write_video_loss_schedule(const char *path, const event_schedule *schedule, int chn);
int read_videoloss_email_schedule(const char *path, event_schedule *schedule, int chn);
int write_videoloss_email_schedule(const char *path, const event_schedule *schedule, int chn);
int read_videoloss_ptz_schedule(const char *path, event_schedule *schedule, int chn);
int write_videoloss_ptz_schedule(const char *path, const event_schedule *schedule, int chn);
