// The log pages' words: the translation table and the rule of entries about disks.
#include "system/log_text.h"
#include "vxrt/vx_trans.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

TEST(LogTexts, TranslationGivesTheTextCutToTheBufferOrNothing)
{
    const struct {
        int64_t id;
        int size;
        const char *text;
        int result;
    } rows[] = {
        {3, 64, "Operation", 0},       {229, 64, "Remote login refused", 0}, {919, 64, "Disk settings", 0},
        {919, 5, "Disk", 0},           {10, 1, "", 0},                       {0, 64, "", -1},
        {31, 64, "", -1},              {408, 64, "", -1},                    {int64_t{1} << 40 | 3, 64, "", -1},
        {-201, 64, "", -1},
    };
    for (const auto &row : rows) {
        char buffer[65];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(trans_get_value(row.id, buffer, row.size), row.result) << row.id;
        EXPECT_STREQ(buffer, row.text) << row.id;
        EXPECT_EQ(buffer[row.size], 'x') << "written past the size for " << row.id;
    }
    char untouched[4] = "abc";
    EXPECT_EQ(trans_get_value(3, untouched, 0), -1);
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(trans_get_value(3, nullptr, 8), -1);
    // Any language reads the built-in texts.
    EXPECT_EQ(trans_init("zz-ZZ"), 0);
    EXPECT_EQ(log_type_text(201), "Remote login");
    EXPECT_EQ(trans_deinit(), 0);
}

TEST(LogTexts, MainTypeTextsAndTheDiskRule)
{
    const struct {
        int32_t main_type;
        const char *text;
    } mains[] = {{1, "All"}, {2, "Event"}, {4, "Operation"}, {8, "Information"}, {32, "Exception"},
                 {64, "Debug"}, {3, ""}, {16, ""}, {0, ""}, {-4, ""}};
    for (const auto &row : mains)
        EXPECT_EQ(log_main_type_text(row.main_type), row.text) << row.main_type;

    const struct {
        int main_type;
        int64_t sub_type;
        int disk;
    } disks[] = {{4, 207, 1}, {32, 400, 1}, {8, 505, 1}, {4, 204, 0}, {2, 207, 0}, {32, 404, 0}, {8, 500, 0}, {1, 400, 0}};
    for (const auto &row : disks)
        EXPECT_EQ(log_channo_is_disk(row.main_type, row.sub_type), row.disk) << row.main_type << "/" << row.sub_type;
}

TEST(LogTexts, TimesOfEveryYearTheClockReaches)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(log_local_time(1796638530), "2026-12-07 10:15:30");
    EXPECT_EQ(log_local_time(1796638530, 0), "20261207101530");
    EXPECT_EQ(log_local_time(67768036191676799), "2147485547-12-31 23:59:59");  // the last second of glibc's clock
    EXPECT_EQ(log_local_time(INT64_MAX), "1900-01-00 00:00:00");               // beyond it: a zero time
    unsetenv("TZ");
    tzset();
}
