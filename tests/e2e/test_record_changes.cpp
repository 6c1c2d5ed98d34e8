// Record changes of request processes running at once, and pages over a database whose records
// cannot be read: each change is whole, a check across records holds, and a failed read is an error,
// never an empty table.
#include "e2e/page_table.h"
#include "e2e/system_pages.h"
#include "storage/disk_db.h"
#include "support/db_lock.h"
#include "storage/storage_codes.h"
#include "storage/storage_records.h"
#include "system/system_codes.h"
#include "vxrt/vx_text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace system_pages;

namespace {
// Runs every request in a process of its own, all at once; the answers in request order.
std::vector<std::string> run_at_once(const test_root &root, const std::vector<cgi_request> &requests)
{
    vxdb_close_all();
    std::vector<cgi_result> results(requests.size());
    std::vector<std::thread> processes;
    for (size_t i = 0; i < requests.size(); ++i)
        processes.emplace_back([&, i] { results[i] = run_cgi(root, requests[i]); });
    for (std::thread &t : processes)
        t.join();
    std::vector<std::string> answers;
    for (const cgi_result &r : results) {
        EXPECT_EQ(r.exit_status, 0) << r.err;
        answers.push_back(r.out);
    }
    return answers;
}

std::string new_user(const std::string &name)
{
    return "{\"name\":\"" + name + "\",\"password\":\"" + HASH + "\",\"type\":2,\"permission\":0,\"remotePermission\":0}";
}

// Reads of the records table fail (an integer overflow as each row is stepped) while writes still land
// in the table underneath: a page that took the failed read for an empty table would write.
void break_record_reads(const test_root &root)
{
    vxdb_close_all();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(root.file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
    const char *sql =
        "ALTER TABLE records RENAME TO kept_records;"
        "CREATE VIEW records AS SELECT kind, idx, data FROM kept_records WHERE abs(-9223372036854775807 - 1) > 0;"
        "CREATE TRIGGER records_insert INSTEAD OF INSERT ON records BEGIN"
        " INSERT OR REPLACE INTO kept_records VALUES(NEW.kind, NEW.idx, NEW.data); END;"
        "CREATE TRIGGER records_delete INSTEAD OF DELETE ON records BEGIN"
        " DELETE FROM kept_records WHERE kind = OLD.kind AND idx = OLD.idx; END;";
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// Every row under the broken view as "kind idx bytes;".
std::string kept_rows(const test_root &root)
{
    sqlite3 *db = nullptr;
    std::string rows;
    if (sqlite3_open_v2(root.file(VXDB_MAIN_DB).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT kind, idx, data FROM kept_records ORDER BY kind, idx", -1, &stmt, nullptr);
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            rows += std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))) + " " +
                    std::to_string(sqlite3_column_int(stmt, 1)) + " " +
                    std::string(static_cast<const char *>(sqlite3_column_blob(stmt, 2)), sqlite3_column_bytes(stmt, 2)) +
                    ";";
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

disk_record nas_on_port(int port)
{
    disk_record d{};
    d.id = port;
    d.enable = 1;
    d.type = DISK_TYPE_NFS;
    snprintf(d.vendor, sizeof d.vendor, "%s", "NAS");
    snprintf(d.address, sizeof d.address, "%s", "192.0.2.7");
    return d;
}
}  // namespace

// Eight additions at once, four of them of the same name: that name is stored once, and every account
// gets a slot of its own.
TEST(RecordChanges, AdditionsAtOnceStoreANameOnceAndUseEachSlotOnce)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    for (int round = 0; round < 2; ++round) {
        const std::string twin = "twin" + std::to_string(round);
        std::vector<cgi_request> requests;
        for (int i = 0; i < 8; ++i)
            requests.push_back(page_post("/6071", new_user(i % 2 == 0 ? twin : twin + "-" + std::to_string(i))));
        const std::vector<std::string> answers = run_at_once(dev.root, requests);

        int twins_added = 0;
        for (int i = 0; i < 8; i += 2) {
            twins_added += answers[i].rfind(TEXT + "id=", 0) == 0;
            EXPECT_TRUE(answers[i].rfind(TEXT + "id=", 0) == 0 || answers[i] == TEXT + "SAMEUSER") << answers[i];
        }
        EXPECT_EQ(twins_added, 1);
        static user_record slots[MAX_USERS];
        int count = 0;
        vxdb_close_all();
        ASSERT_EQ(read_users(VXDB_MAIN_DB, slots, MAX_USERS, &count), MAX_USERS);
        std::set<std::string> names;
        int in_use = 0;
        for (const user_record &u : slots) {
            in_use += u.enable == 1;
            if (u.enable == 1)
                names.insert(u.name);
        }
        EXPECT_EQ(in_use, 1 + 5 * (round + 1));  // the administrator and five per round
        EXPECT_EQ(names.size(), static_cast<size_t>(in_use));
        EXPECT_STREQ(slots[0].name, "admin");
    }
}

// Changes of one account at once: those of different fields all land, and a change of name and
// password together is never mixed with another's.
TEST(RecordChanges, ChangesOfOneAccountAtOnceAllLandWhole)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    const char *flags[] = {"localLiveView", "localPlayback", "remoteEvent", "remoteStatus"};
    for (int round = 0; round < 2; ++round) {
        store(account(3, "bob", HASH, 1));
        std::vector<cgi_request> requests;
        for (int i = 0; i < 4; ++i) {
            requests.push_back(page_post("/6072", "{\"id\":3,\"" + std::string(flags[i]) + "\":1}"));
            const std::string n = std::to_string(i);
            requests.push_back(
                page_post("/6072", "{\"id\":3,\"name\":\"bob" + n + "\",\"password\":\"" + std::string(32, 'a' + i) + "\"}"));
        }
        for (const std::string &answer : run_at_once(dev.root, requests))
            EXPECT_EQ(answer, TEXT + "OK");

        const user_record u = stored(3);
        EXPECT_EQ(u.localLiveView + u.localPlayback + u.remoteEvent + u.remoteStatus, 4) << "round " << round;
        ASSERT_EQ(strlen(u.name), 4u);
        EXPECT_EQ(std::string(u.password), std::string(32, 'a' + (u.name[3] - '0'))) << u.name;
        EXPECT_EQ(u.type, 1);
    }
}

// Settings of one disk at once: a group one request sets is never lost to another that keeps it.
TEST(RecordChanges, DiskSettingsAtOnceKeepEveryField)
{
    device dev;
    fake_main_service fms(dev.root);
    for (int round = 0; round < 2; ++round) {
        const disk_record nas = nas_on_port(3);
        ASSERT_EQ(write_disk(VXDB_MAIN_DB, &nas), 0);
        std::vector<cgi_request> requests;
        for (int i = 0; i < 8; ++i)
            requests.push_back(page_post("/6101", i == 3 - round ? R"({"portId":3,"property":1,"group":5})"
                                                                  : R"({"portId":3,"property":1})"));
        for (const std::string &answer : run_at_once(dev.root, requests))
            EXPECT_EQ(answer, TEXT + "OK");
        vxdb_close_all();
        disk_record d{};
        ASSERT_EQ(read_disk(VXDB_MAIN_DB, &d, 3), 0);
        EXPECT_EQ(d.group, 5);
        EXPECT_EQ(d.property, 1);
        EXPECT_STREQ(d.address, "192.0.2.7");
    }
}

// Records that cannot be read: every page answers its error form, sends nothing and writes nothing
// (the administrator in slot 0 stays), where it once read an empty table.
TEST(RecordChanges, UnreadableRecordsAreAnErrorNotAnEmptyTable)
{
    const user_record admin = account(0, "admin");
    const disk_record nas = nas_on_port(3);
    auto setup = [&](const test_root &root) {
        store(admin);
        ASSERT_EQ(write_disk(VXDB_MAIN_DB, &nas), 0);
        break_record_reads(root);
    };
    const state_reader rows = [](const test_root &root) { return kept_rows(root); };
    const std::string untouched = "disk 3 " + fms_record(nas) + ";user 0 " + fms_record(admin) + ";";
    auto row = [&](cgi_request request, const std::string &answer, std::vector<sent_request> sent = {}) {
        return exchange_row{.request = std::move(request), .setup = setup, .sent = std::move(sent), .answer = answer,
                            .read_state = rows, .state = untouched};
    };
    disk_status reported{};
    reported.port_id = 1;
    exchange_row list = row(page_get("/6100"), JSON_ERROR, {asks(DISK_LIST, "")});
    list.script = {replies(DISK_LIST, fms_record(reported))};
    run_exchanges({
        row(page_post("/6071", new_user("carol")), TEXT_ERROR),
        row(page_get("/6070"), JSON_ERROR),
        row(page_post("/6072", "{\"id\":0,\"password\":\"" + std::string(32, 'f') + "\"}"), TEXT_ERROR),
        row(page_post("/1000", "{\"userName\":\"admin\",\"md5\":\"" + HASH + "\"}"), TEXT_ERROR),
        row(page_post("/6101", R"({"portId":3,"property":0,"group":2})"), TEXT_ERROR),
        list,
    });

    // The diagnostic log says why.
    device dev;
    setup(dev.root);
    EXPECT_EQ(run_page(dev.root, page_get("/6070")).out, JSON_ERROR);
    EXPECT_NE(read_file(dev.root.file("/mnt/nand/cgi_log.txt")).find("cannot be read"), std::string::npos);
}

// The database held locked by another process past the time-out (5 s, which only this process could
// shorten): the addition is refused before anything is read as empty, and the administrator stays.
TEST(RecordChanges, DatabaseLockedPastTheTimeOutWritesNothing)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    vxdb_close_all();
    cgi_result r;
    {
        lock_holder holder(dev.root.file(VXDB_MAIN_DB));
        r = run_cgi(dev.root, page_post("/6071", new_user("carol")));
    }
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind("Status: 401", 0), 0u) << r.out;
    EXPECT_STREQ(stored(0).name, "admin");
    EXPECT_EQ(stored(1).enable, 0);
    ASSERT_TRUE(fms.wait_idle());
    EXPECT_EQ(fms.requests().size(), 0u);
}

// A factory database that is not a database at all lists nothing, as an error.
TEST(RecordChanges, UnreadableFactoryAccountsAreAnError)
{
    device dev;
    std::filesystem::create_directories(std::filesystem::path(dev.root.file(VXDB_OEM_DB)).parent_path());
    std::ofstream(dev.root.file(VXDB_OEM_DB)) << std::string(4096, 'x');
    EXPECT_EQ(run_page(dev.root, page_get("/6074")).out, JSON_ERROR);
}
