#include "link/audio_files.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_record.h"

#include <cstddef>

namespace {
constexpr vxdb_field alarm_audio_file_fields[] = {
    VXDB_FIELD(alarm_audio_file, in_use),
    VXDB_FIELD(alarm_audio_file, id),
    VXDB_FIELD(alarm_audio_file, name),
};
const vxdb_kind alarm_audio_file_kind = {"alarm_audio_file", sizeof(alarm_audio_file), 0,
                                         ALARM_AUDIO_FILE_COUNT - 1, VXDB_NO_INDEX,
                                         VXDB_FIELDS(alarm_audio_file_fields)};
VXDB_REGISTER_KIND(alarm_audio_file_kind);
}  // namespace

int read_alarm_audio_file(const char *path, alarm_audio_file files[ALARM_AUDIO_FILE_COUNT])
{
    return vxdb_read_slots(path, alarm_audio_file_kind, files, ALARM_AUDIO_FILE_COUNT);
}

uint32_t get_audio_file_id_mask()
{
    alarm_audio_file files[ALARM_AUDIO_FILE_COUNT];
    int count = read_alarm_audio_file(VXDB_MAIN_DB, files);
    uint32_t mask = 0;
    for (int i = 0; i < count && i < ALARM_AUDIO_FILE_COUNT; ++i) {
        if (files[i].in_use == 1)
            mask |= 1u << i;
    }
    return mask;
}
