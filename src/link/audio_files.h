// The ten alarm sound files of the device, as the configuration database keeps them. Event pages
// report which slots hold a file ("audioIdMask") beside the event's chosen sound ("audioId").
#pragma once

#include <cstdint>

constexpr int ALARM_AUDIO_FILE_COUNT = 10;

// One slot of the database table (136 bytes). The slot number is the row's index; the record holds
// no index of its own.
struct alarm_audio_file {
    int32_t in_use;  // 1 when the slot holds a file
    int32_t id;
    char name[128];  // the file name in URL-safe Base64
};
static_assert(sizeof(alarm_audio_file) == 136);

// Fills the ten slots (a slot without a row reads as not in use). Returns the number of slots read.
int read_alarm_audio_file(const char *path, alarm_audio_file files[ALARM_AUDIO_FILE_COUNT]);

// Bit i (0..9) set when slot i holds a file.
uint32_t get_audio_file_id_mask();
