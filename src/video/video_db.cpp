#include "video/video_db.h"
#include "link/event_db.h"
#include "link/web_log.h"
#include "vxdb/vxdb_txn.h"

namespace {
constexpr vxdb_field motion_fields[] = {
    VXDB_FIELD(motion_record, channel),
    VXDB_FIELD(motion_record, enable),
    VXDB_FIELD(motion_record, sensitivity),
    VXDB_FIELD(motion_record, tri_mask),
    VXDB_FIELD(motion_record, tri_alarms),
    VXDB_FIELD(motion_record, motion_table),
    VXDB_FIELD(motion_record, interval),
    VXDB_FIELD(motion_record, enable_ms),
    VXDB_FIELD(motion_record, tri_channels),
    VXDB_FIELD(motion_record, email_enable),
    VXDB_FIELD(motion_record, email_interval),
    VXDB_FIELD(motion_record, tri_chn_alarms),
    VXDB_FIELD(motion_record, ptz_interval),
    VXDB_FIELD(motion_record, alarmout_interval),
    VXDB_FIELD(motion_record, white_interval),
    VXDB_FIELD(motion_record, warning_light_interval),
    VXDB_FIELD(motion_record, email_pic_enable),
    VXDB_FIELD(motion_record, tri_channels_pic),
    VXDB_FIELD(motion_record, audio_id),
    VXDB_FIELD(motion_record, http_notification_interval),
};

constexpr vxdb_field video_loss_fields[] = {
    VXDB_FIELD(video_loss_record, channel),
    VXDB_FIELD(video_loss_record, enable),
    VXDB_FIELD(video_loss_record, tri_alarms),
    VXDB_FIELD(video_loss_record, interval),
    VXDB_FIELD(video_loss_record, email_enable),
    VXDB_FIELD(video_loss_record, email_interval),
    VXDB_FIELD(video_loss_record, tri_chn_alarms),
    VXDB_FIELD(video_loss_record, reserved1),
    VXDB_FIELD(video_loss_record, ptz_interval),
    VXDB_FIELD(video_loss_record, alarmout_interval),
    VXDB_FIELD(video_loss_record, white_interval),
    VXDB_FIELD(video_loss_record, warning_light_interval),
    VXDB_FIELD(video_loss_record, audio_id),
    VXDB_FIELD(video_loss_record, http_notification_interval),
};

constexpr vxdb_field camera_event_fields[] = {
    VXDB_FIELD(camera_event_record, channel),
    VXDB_FIELD(camera_event_record, enable),
    VXDB_FIELD(camera_event_record, tri_mask),
    VXDB_FIELD(camera_event_record, tri_actions),
};

constexpr vxdb_field trigger_alarms_fields[] = {
    VXDB_FIELD(trigger_alarms, actions),
    VXDB_FIELD(trigger_alarms, record_failed_mail_interval),
};

int failed(const char *path, const vxdb_kind &kind)
{
    cgi_log(__FILE__, __LINE__, "video records", "%s: %s cannot be read (locked past the time-out, I/O error or not "
            "a database)", kind.name, path);
    return -1;
}

int read_record(const char *path, const vxdb_kind &kind, int index, void *record)
{
    const int rc = vxdb_view(path, kind, [&](vxdb_txn &txn) { return txn.read(index, record); });
    return rc < 0 ? failed(path, kind) : rc;
}

// Every copy in one transaction: all channels of the mask get the record, or none does.
int copy_record(const char *path, const vxdb_kind &kind, const void *source, uint64_t mask)
{
    return vxdb_update(path, kind, [&](vxdb_txn &txn) {
        for (int n = 0; n < VIDEO_CHANNELS; ++n) {
            if ((mask >> n & 1u) != 0 && txn.write_at(n, source) != 0)
                return -1;
        }
        return 0;
    });
}
}  // namespace

const vxdb_kind motion_kind = {"motion", sizeof(motion_record), 0, VIDEO_CHANNELS - 1,
                               VXDB_INDEX_AT(motion_record, channel), VXDB_FIELDS(motion_fields)};
const vxdb_kind video_loss_kind = {"video_loss", sizeof(video_loss_record), 0, VIDEO_CHANNELS - 1,
                                   VXDB_INDEX_AT(video_loss_record, channel), VXDB_FIELDS(video_loss_fields)};
const vxdb_kind cameraio_kind = {"cameraio", sizeof(camera_event_record), 0, VIDEO_CHANNELS - 1,
                                 VXDB_INDEX_AT(camera_event_record, channel), VXDB_FIELDS(camera_event_fields)};
const vxdb_kind volumedetect_kind = {"volumedetect", sizeof(camera_event_record), 0, VIDEO_CHANNELS - 1,
                                     VXDB_INDEX_AT(camera_event_record, channel), VXDB_FIELDS(camera_event_fields)};
const vxdb_kind trigger_alarms_kind = {"trigger_alarms", sizeof(trigger_alarms), 0, 0, VXDB_NO_INDEX,
                                       VXDB_FIELDS(trigger_alarms_fields)};
VXDB_REGISTER_KIND(motion_kind);
VXDB_REGISTER_KIND(video_loss_kind);
VXDB_REGISTER_KIND(cameraio_kind);
VXDB_REGISTER_KIND(volumedetect_kind);
VXDB_REGISTER_KIND(trigger_alarms_kind);

int read_motion(const char *path, motion_record *record, int channel)
{
    return read_record(path, motion_kind, channel, record);
}

int write_motion(const char *path, const motion_record *record)
{
    return vxdb_write(path, motion_kind, record);
}

int copy_motions(const char *path, const motion_record *source, uint64_t mask)
{
    return copy_record(path, motion_kind, source, mask);
}

int read_video_lost(const char *path, video_loss_record *record, int channel)
{
    return read_record(path, video_loss_kind, channel, record);
}

int write_video_lost(const char *path, const video_loss_record *record)
{
    return vxdb_write(path, video_loss_kind, record);
}

int copy_video_losts(const char *path, const video_loss_record *source, uint64_t mask)
{
    return copy_record(path, video_loss_kind, source, mask);
}

int read_cameraio(const char *path, camera_event_record *record, int channel)
{
    return read_record(path, cameraio_kind, channel, record);
}

int write_cameraio(const char *path, const camera_event_record *record)
{
    return vxdb_write(path, cameraio_kind, record);
}

int read_volumedetect(const char *path, camera_event_record *record, int channel)
{
    return read_record(path, volumedetect_kind, channel, record);
}

int write_volumedetect(const char *path, const camera_event_record *record)
{
    return vxdb_write(path, volumedetect_kind, record);
}

int read_trigger_alarms(const char *path, trigger_alarms *record)
{
    return read_record(path, trigger_alarms_kind, 0, record);
}

int write_trigger_alarms(const char *path, const trigger_alarms *record)
{
    return vxdb_write_at(path, trigger_alarms_kind, 0, record);
}

int video_mask_channels(uint64_t mask, int32_t (&channels)[VIDEO_CHANNELS])
{
    int count = 0;
    for (int n = 0; n < VIDEO_CHANNELS; ++n) {
        if ((mask >> n & 1u) != 0)
            channels[count++] = n;
    }
    return count;
}

int read_motion_effective_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, MOTION_EFFECTIVE_SCHE, chn);
}

int write_motion_effective_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, MOTION_EFFECTIVE_SCHE, chn);
}

int read_motion_audible_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, MOTION_AUDIBLE_SCHE, chn);
}

int write_motion_audible_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, MOTION_AUDIBLE_SCHE, chn);
}

int write_motion_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_motion_audible_schedule(path, schedule, chn);
}

int read_motion_email_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, MOTION_EMAIL_SCHE, chn);
}

int write_motion_email_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, MOTION_EMAIL_SCHE, chn);
}

int read_motion_ptz_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, MOTION_PTZ_SCHE, chn);
}

int write_motion_ptz_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, MOTION_PTZ_SCHE, chn);
}

int read_videoloss_audible_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, VIDEOLOSS_AUDIBLE_SCHE, chn);
}

int write_videoloss_audible_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, VIDEOLOSS_AUDIBLE_SCHE, chn);
}

int write_video_loss_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_videoloss_audible_schedule(path, schedule, chn);
}

int read_videoloss_email_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, VIDEOLOSS_EMAIL_SCHE, chn);
}

int write_videoloss_email_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, VIDEOLOSS_EMAIL_SCHE, chn);
}

int read_videoloss_ptz_schedule(const char *path, event_schedule *schedule, int chn)
{
    return read_event_schedule(path, schedule, VIDEOLOSS_PTZ_SCHE, chn);
}

int write_videoloss_ptz_schedule(const char *path, const event_schedule *schedule, int chn)
{
    return write_event_schedule(path, schedule, VIDEOLOSS_PTZ_SCHE, chn);
}
