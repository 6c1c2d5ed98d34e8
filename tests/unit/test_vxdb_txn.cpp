// Transactions over a kind's records and the checked reads: a failed read is never taken for a
// missing row or key, a failed operation commits nothing, and concurrent read-modify-writes queue.
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_txn.h"
#include "vxdb_fixture.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {
struct tally {
    int32_t index;
    int32_t count;
};
constexpr vxdb_field tally_fields[] = {VXDB_FIELD(tally, index), VXDB_FIELD(tally, count)};
constexpr vxdb_kind tally_kind = {"tally", sizeof(tally), 0, 7, VXDB_INDEX_AT(tally, index),
                                  VXDB_FIELDS(tally_fields)};

int add_one(const char *path, int index)
{
    return vxdb_update(path, tally_kind, [&](vxdb_txn &txn) {
        tally t;
        if (txn.read(index, &t) < 0)
            return -1;
        ++t.count;
        return txn.write(&t);
    });
}

int stored_count(int index)
{
    tally t;
    return vxdb_read(VXDB_MAIN_DB, tally_kind, index, &t) == 0 ? t.count : -1;
}

// One checked read of "k" with default 42: the result and the value seen (-7 when untouched).
std::pair<int, int> checked_k()
{
    int value = -7;
    int rc = get_param_int_checked(VXDB_MAIN_DB, "k", 42, &value);
    return {rc, value};
}

// One checked text read of "t" into 8 bytes with `def`: the result and the text seen ("~" when
// untouched).
std::pair<int, std::string> checked_t(const char *def = "dflt")
{
    char text[8] = "~";
    int rc = get_param_value_checked(VXDB_MAIN_DB, "t", def, text, sizeof text);
    return {rc, text};
}
}  // namespace

using vxdb_txn_test = vxdb_test;

TEST_F(vxdb_txn_test, CheckedReadTellsAMissingKeyFromAFailedRead)
{
    using result = std::pair<int, int>;
    EXPECT_EQ(checked_k(), result(0, 42)) << "no file";
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));

    {  // a database without the params table
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE other(x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_EQ(checked_k(), result(0, 42)) << "no table";
    set_param_int(VXDB_MAIN_DB, "other", 1);
    EXPECT_EQ(checked_k(), result(0, 42)) << "no key";
    set_param_value(VXDB_MAIN_DB, "k", "1x");
    EXPECT_EQ(checked_k(), result(0, 42)) << "no integer";
    set_param_value(VXDB_MAIN_DB, "k", " 5 ");
    EXPECT_EQ(checked_k(), result(0, 5));

    vxdb_close_all();
    vxdb_set_busy_timeout_ms(100);
    {
        lock_holder holder(file(VXDB_MAIN_DB));
        EXPECT_EQ(checked_k(), result(-1, -7)) << "locked past the time-out";
        EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "k", 42), 42);  // the unchecked read cannot tell
    }
    vxdb_set_busy_timeout_ms(0);
    EXPECT_EQ(checked_k(), result(0, 5)) << "lock released";

    vxdb_close_all();
    std::ofstream(file(VXDB_MAIN_DB), std::ios::trunc) << std::string(4096, 'x');
    EXPECT_EQ(checked_k(), result(-1, -7)) << "not a database";
}

TEST_F(vxdb_txn_test, CheckedTextReadTellsAMissingKeyFromAFailedRead)
{
    using result = std::pair<int, std::string>;
    EXPECT_EQ(checked_t(), result(0, "dflt")) << "no file";
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));
    set_param_int(VXDB_MAIN_DB, "other", 1);
    EXPECT_EQ(checked_t(), result(0, "dflt")) << "no key";
    EXPECT_EQ(checked_t(nullptr), result(0, "")) << "no key, no default";
    EXPECT_EQ(checked_t("a default too long"), result(0, "a defau")) << "cut like the stored text";
    set_param_value(VXDB_MAIN_DB, "t", "");
    EXPECT_EQ(checked_t(), result(0, "")) << "stored empty";
    set_param_value(VXDB_MAIN_DB, "t", "V2.3.4.5-long");
    EXPECT_EQ(checked_t(), result(0, "V2.3.4.")) << "cut to the buffer";

    vxdb_close_all();
    vxdb_set_busy_timeout_ms(100);
    {
        lock_holder holder(file(VXDB_MAIN_DB));
        EXPECT_EQ(checked_t(), result(-1, "~")) << "locked past the time-out";
    }
    vxdb_set_busy_timeout_ms(0);
    EXPECT_EQ(checked_t(), result(0, "V2.3.4.")) << "lock released";

    vxdb_close_all();
    std::ofstream(file(VXDB_MAIN_DB), std::ios::trunc) << std::string(4096, 'x');
    EXPECT_EQ(checked_t(), result(-1, "~")) << "not a database";
}

TEST_F(vxdb_txn_test, UpdateCommitsOnlyWhenTheCallbackAndEveryOperationSucceed)
{
    ASSERT_EQ(add_one(VXDB_MAIN_DB, 3), 0);  // creates the file
    ASSERT_EQ(add_one(VXDB_MAIN_DB, 3), 0);
    EXPECT_EQ(stored_count(3), 2);

    struct row {
        const char *what;
        std::function<int(vxdb_txn &)> body;
        int result;
    };
    const std::vector<row> rows = {
        {"callback refuses", [](vxdb_txn &txn) { tally t{3, 99}; txn.write(&t); return 5; }, 5},
        {"write out of range", [](vxdb_txn &txn) { tally t{3, 99}, bad{8, 1}; txn.write(&t); txn.write(&bad); return 0; }, -1},
        {"failure ignored by the callback", [](vxdb_txn &txn) { tally t{3, 99}; txn.write(&t); txn.read(0, nullptr); return 0; }, -1},
        {"removal refused", [](vxdb_txn &txn) { txn.remove(3); return 1; }, 1},
    };
    for (const row &r : rows) {
        EXPECT_EQ(vxdb_update(VXDB_MAIN_DB, tally_kind, r.body), r.result) << r.what;
        EXPECT_EQ(stored_count(3), 2) << r.what;
    }
    EXPECT_EQ(vxdb_update(VXDB_MAIN_DB, tally_kind, [](vxdb_txn &txn) { return txn.remove(3); }), 0);
    EXPECT_EQ(stored_count(3), -1);
}

TEST_F(vxdb_txn_test, ViewReadsAMissingFileAsEmptyAndNeverWrites)
{
    auto view = [](tally *seen, int *param) {
        return vxdb_view(VXDB_MAIN_DB, tally_kind, [&](vxdb_txn &txn) {
            int found = txn.read(2, seen);
            if (txn.param_int("p", 9, param) != 0)
                return -1;
            return found;
        });
    };
    tally seen{};
    int param = 0;
    EXPECT_EQ(view(&seen, &param), 1);
    EXPECT_EQ(seen.index, 2);
    EXPECT_EQ(param, 9);
    EXPECT_FALSE(file_exists(file(VXDB_MAIN_DB)));

    ASSERT_EQ(add_one(VXDB_MAIN_DB, 2), 0);
    set_param_int(VXDB_MAIN_DB, "p", 4);
    EXPECT_EQ(view(&seen, &param), 0);
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(param, 4);

    EXPECT_EQ(vxdb_view(VXDB_MAIN_DB, tally_kind, [](vxdb_txn &txn) { tally t{2, 50}; return txn.write(&t); }), -1);
    EXPECT_EQ(stored_count(2), 1);

    std::vector<tally> slots(10);
    EXPECT_EQ(vxdb_view(VXDB_MAIN_DB, tally_kind, [&](vxdb_txn &txn) { return txn.read_slots(slots.data(), 10); }), 8);
    EXPECT_EQ(slots[2].count, 1);
    EXPECT_EQ(slots[7].index, 7);
}

TEST_F(vxdb_txn_test, ALockedOrBrokenFileFailsTheTransaction)
{
    ASSERT_EQ(add_one(VXDB_MAIN_DB, 1), 0);
    vxdb_close_all();
    vxdb_set_busy_timeout_ms(100);
    {
        lock_holder holder(file(VXDB_MAIN_DB));
        EXPECT_EQ(add_one(VXDB_MAIN_DB, 1), -1);
        tally t{};
        EXPECT_EQ(vxdb_view(VXDB_MAIN_DB, tally_kind, [&](vxdb_txn &txn) { return txn.read(1, &t); }), -1);
    }
    vxdb_set_busy_timeout_ms(0);
    EXPECT_EQ(stored_count(1), 1);

    vxdb_close_all();
    std::ofstream(file(VXDB_MAIN_DB), std::ios::trunc) << std::string(4096, 'x');
    EXPECT_EQ(add_one(VXDB_MAIN_DB, 1), -1);
    EXPECT_EQ(vxdb_view(VXDB_MAIN_DB, tally_kind, [](vxdb_txn &txn) { tally t; return txn.read(1, &t); }), -1);
}

// Processes and threads that each read a counter, add one and write it back: no increment is lost.
TEST_F(vxdb_txn_test, ConcurrentReadModifyWritesLoseNoUpdate)
{
    constexpr int PROCESSES = 4, THREADS = 2, ROUNDS = 50;
    vxdb_close_all();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            char go;
            (void)!read(start[0], &go, 1);
            std::atomic<int> failed{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < THREADS; ++t) {
                threads.emplace_back([&failed] {
                    for (int round = 0; round < ROUNDS; ++round)
                        failed += add_one(VXDB_MAIN_DB, 0) != 0;  // serialised by the library's lock
                });
            }
            for (std::thread &t : threads)
                t.join();
            vxdb_close_all();
            _exit(failed > 255 ? 255 : failed.load());
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(stored_count(0), PROCESSES * THREADS * ROUNDS);
}
