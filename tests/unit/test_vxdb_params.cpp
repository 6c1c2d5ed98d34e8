#include "vxdb/vxdb_param.h"
#include "vxdb_fixture.h"

#include <sqlite3.h>

#include <climits>
#include <cstring>
#include <filesystem>

using vxdb_params = vxdb_test;

TEST_F(vxdb_params, MissingFileGivesDefaultsAndIsNeverCreatedByAReader)
{
    char buffer[16] = "untouched";
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "max_cameras", 32), 32);
    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "company", buffer, sizeof buffer, "Varnett"), -1);
    EXPECT_STREQ(buffer, "Varnett");
    EXPECT_EQ(get_param_value(VXDB_OEM_DB, "model", buffer, sizeof buffer, nullptr), -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_NE(check_param_key(VXDB_MAIN_DB, "company"), 0);
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));
    EXPECT_FALSE(file_exists(file(VXDB_OEM_DB)));
}

TEST_F(vxdb_params, CheckParamKeyIsNonZeroOnlyForAMissingKey)
{
    ASSERT_EQ(set_param_value(VXDB_MAIN_DB, "deviceid", "7"), 0);
    EXPECT_EQ(check_param_key(VXDB_MAIN_DB, "deviceid"), 0);
    EXPECT_NE(check_param_key(VXDB_MAIN_DB, "hide_taskbar"), 0);
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "hide_taskbar", 3), 3);
}

TEST_F(vxdb_params, EverySetterCreatesFileAndKey)
{
    // Callers store integers without asking whether the key exists; those writes must not be lost.
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "oem_type", 3), 0);
    EXPECT_TRUE(file_exists(file(VXDB_MAIN_DB)));
    ASSERT_EQ(set_param_value(VXDB_ANPR_DB, "decode", "4"), 0);
    ASSERT_EQ(add_param_value(VXDB_OEM_DB, "poepsd", "a1b2c3"), 0);
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "oem_type", 0), 3);
    EXPECT_EQ(get_param_int(VXDB_ANPR_DB, "decode", 0), 4);
    char buffer[8];
    EXPECT_EQ(get_param_value(VXDB_OEM_DB, "poepsd", buffer, sizeof buffer, ""), 0);
    EXPECT_STREQ(buffer, "a1b2c3");
    // Each file holds its own keys.
    EXPECT_NE(check_param_key(VXDB_MAIN_DB, "poepsd"), 0);

    // A second add (another process added the key first) still stores its value.
    ASSERT_EQ(add_param_value(VXDB_OEM_DB, "poepsd", "zzzzzz"), 0);
    EXPECT_EQ(get_param_value(VXDB_OEM_DB, "poepsd", buffer, sizeof buffer, ""), 0);
    EXPECT_STREQ(buffer, "zzzzzz");
}

TEST_F(vxdb_params, IntegersAndTextShareOneRepresentation)
{
    char buffer[32];
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "wizard_enable", -42), 0);
    get_param_value(VXDB_MAIN_DB, "wizard_enable", buffer, sizeof buffer, "0");
    EXPECT_STREQ(buffer, "-42");

    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "low", INT_MIN), 0);
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "low", 0), INT_MIN);

    const struct {
        const char *text;
        int expected;
    } cases[] = {
        {"17", 17}, {" 12 ", 12}, {"+5", 5}, {"65535", 65535}, {"2147483647", INT_MAX},
        // not an int: the caller's default
        {"", -1}, {"abc", -1}, {"12abc", -1}, {"2147483648", -1}, {"99999999999999999999", -1},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(set_param_value(VXDB_MAIN_DB, "value", c.text), 0);
        EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "value", -1), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(vxdb_params, GetParamValueCutsToTheBuffer)
{
    ASSERT_EQ(set_param_value(VXDB_MAIN_DB, "model", "NVR-64-PRO"), 0);
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "model", buffer, 5, ""), 0);
    EXPECT_STREQ(buffer, "NVR-");
    EXPECT_EQ(buffer[5], 'x');  // nothing past the given size

    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "software_version", buffer, 4, "7x.7.0.9"), -1);
    EXPECT_STREQ(buffer, "7x.");
    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "model", buffer, 1, ""), 0);
    EXPECT_STREQ(buffer, "");

    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "model", buffer, 0, ""), -1);
    EXPECT_EQ(get_param_value(VXDB_MAIN_DB, "model", nullptr, 8, ""), -1);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(vxdb_params, KeysAndValuesAreDataNotSql)
{
    const char *key = "x'); DROP TABLE params; --";
    const char *value = "it's \"quoted\"; DELETE FROM params";
    ASSERT_EQ(set_param_value(VXDB_MAIN_DB, "keep", "1"), 0);
    ASSERT_EQ(set_param_value(VXDB_MAIN_DB, key, value), 0);
    std::string text;
    EXPECT_EQ(vxdb_param_text(VXDB_MAIN_DB, key, &text), 0);
    EXPECT_EQ(text, value);
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "keep", 0), 1);
}

TEST_F(vxdb_params, FilesUseWriteAheadLoggingAndSurviveReopening)
{
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "raidmode", 1), 0);
    vxdb_close_all();
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "raidmode", 0), 1);

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file(VXDB_MAIN_DB).c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

// The last connection to close keeps the log and its index, so that the next request need not create
// them, but leaves the log empty: a kept log with frames would be read back and copied into the
// database once more by the next process alone on the file. A reader's close must keep them too.
TEST_F(vxdb_params, TheLastCloseKeepsTheLogFilesWithAnEmptyLog)
{
    namespace fs = std::filesystem;
    const fs::path db = file(VXDB_MAIN_DB);
    const fs::path wal = db.string() + "-wal", shm = db.string() + "-shm";
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "raidmode", 5), 0);
    vxdb_close_all();
    ASSERT_TRUE(fs::exists(wal));
    EXPECT_TRUE(fs::exists(shm));
    EXPECT_EQ(fs::file_size(wal), 0u);

    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "raidmode", 0), 5);
    vxdb_close_all();
    ASSERT_TRUE(fs::exists(wal));
    EXPECT_TRUE(fs::exists(shm));
    EXPECT_EQ(fs::file_size(wal), 0u);
}

TEST_F(vxdb_params, AFileThatIsNoDatabaseGivesDefaultsAndRefusesWrites)
{
    write_file(file(VXDB_MAIN_DB), "this is not a database file, just some text that is long enough");
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "alarm_in", 16), 16);
    EXPECT_NE(check_param_key(VXDB_MAIN_DB, "alarm_in"), 0);
    EXPECT_EQ(set_param_int(VXDB_MAIN_DB, "alarm_in", 8), -1);
    EXPECT_EQ(vxdb_param_list(VXDB_MAIN_DB, nullptr, nullptr), -1);
}
