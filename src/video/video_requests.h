// What several motion pages send alike: the trigger-channel mask, the smart-motion switch and its
// all-day schedule, and the channel-changed notices.
#pragma once

#include "video/video_records.h"

#include <cstddef>
#include <cstdint>

// Bit n for every '1' at position n (0..63) of the text, read within `size` bytes and up to its end;
// built from zero, so a channel left out is deselected.
uint64_t trigger_text_mask(const char *text, size_t size);

// The all-day schedule: seven days, each enabled with four segments {0, 0, 24, 0}, the channel word
// and the targets as given.
all_day_schedule make_all_day_schedule(int32_t channel, const int32_t *targets, int count);

// SMART_MOTION for `channel` (on when `on`) with the targets, then, when on, SMART_MOTION_SCHEDULE
// of the channel: what the early motion pages send after a change.
void send_smart_motion(int32_t channel, bool on);

// One int32 channel to MOTION_CHANGED or VIDEO_LOSS_CHANGED, send only.
void send_channel_notice(int32_t code, int32_t channel);

struct event_schedule;
using channel_schedule_reader = int (*)(const char *path, event_schedule *schedule, int chn);

// The early schedule getters: the query is the channel 0..63 (else nothing is answered); the
// schedule as the bare 8 x 12 array, or the JSON error form when it cannot be read.
void answer_channel_schedule(const char *query, channel_schedule_reader read);
