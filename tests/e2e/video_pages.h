// Shared pieces of the video module's page tests: payload bytes written at their offsets (so a test
// does not lean on the program's own layout), the schedule shapes of the answers, and the records the
// rows store and read back.
#pragma once

#include "e2e/page_table.h"
#include "video/video_db.h"
#include "video/video_records.h"
#include "vxdb/vxdb.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

// `size` zero bytes with the integers written at their offsets.
inline std::string at(size_t size, std::initializer_list<std::pair<size_t, int64_t>> words, size_t width = 4)
{
    std::string bytes(size, '\0');
    for (const auto &[offset, value] : words)
        memcpy(&bytes[offset], &value, width);
    return bytes;
}

inline std::string put_text(std::string bytes, size_t offset, const std::string &text)
{
    bytes.replace(offset, text.size(), text);
    return bytes;
}

inline std::string mask_bytes(uint64_t mask)
{
    return std::string(reinterpret_cast<const char *>(&mask), sizeof mask);
}

// The all-day schedule: channel word, seven enabled days of four segments 0:00-24:00, the targets.
inline std::string all_day(int32_t channel, std::initializer_list<int32_t> targets)
{
    std::string bytes = at(1216, {{0, channel}, {1212, static_cast<int32_t>(targets.size())}});
    for (size_t d = 0; d < 7; ++d) {
        const size_t day = 4 + 136 * d;
        const int32_t words[] = {static_cast<int32_t>(d), 1};
        memcpy(&bytes[day + 64], words, sizeof words);
        for (size_t s = 0; s < 4; ++s) {
            const int32_t segment[] = {0, 0, 24, 0};
            memcpy(&bytes[day + 72 + 16 * s], segment, sizeof segment);
        }
    }
    size_t i = 0;
    for (int32_t target : targets)
        memcpy(&bytes[956 + 4 * i++], &target, 4);
    return bytes;
}

// The smart-motion switch: channel, on, targets, count.
inline std::string smart_motion(int32_t channel, int32_t on, std::initializer_list<int32_t> targets = {})
{
    std::string bytes = at(268, {{0, channel}, {4, on}, {264, static_cast<int32_t>(targets.size())}});
    size_t i = 0;
    for (int32_t target : targets)
        memcpy(&bytes[8 + 4 * i++], &target, 4);
    return bytes;
}

// A segment as the answers show it, and a week whose first segment of day 0 is `first`.
inline std::string segment(const std::string &start = "", const std::string &end = "", int action = 0)
{
    return "{ \"startTime\": \"" + start + "\", \"endTime\": \"" + end + "\", \"actionType\": " +
           std::to_string(action) + " }";
}

inline std::string week(const std::string &first = segment())
{
    std::string days;
    for (int d = 0; d < 8; ++d) {
        std::string day = d == 0 ? first : segment();
        for (int s = 1; s < 12; ++s)
            day += ", " + segment();
        days += (d == 0 ? "" : ", ") + std::string("[ ") + day + " ]";
    }
    return "[ " + days + " ]";
}

template <typename Record> Record zeroed()
{
    Record record;
    memset(&record, 0, sizeof record);
    return record;
}

inline std::string stored_motion(int channel)
{
    motion_record record = zeroed<motion_record>();
    return read_motion(VXDB_MAIN_DB, &record, channel) < 0 ? "unreadable" : fms_record(record);
}

inline std::string stored_video_loss(int channel)
{
    video_loss_record record = zeroed<video_loss_record>();
    return read_video_lost(VXDB_MAIN_DB, &record, channel) < 0 ? "unreadable" : fms_record(record);
}
