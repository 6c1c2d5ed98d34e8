#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_record.h"
#include "vxdb_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
constexpr int PROCESSES = 8;
constexpr int WRITES = 200;

struct counter_rec {
    int32_t index;
    int32_t writer;
    int32_t round;
    char note[20];
};
constexpr vxdb_field counter_fields[] = {VXDB_FIELD(counter_rec, index), VXDB_FIELD(counter_rec, writer),
                                         VXDB_FIELD(counter_rec, round), VXDB_FIELD(counter_rec, note)};
constexpr vxdb_kind counter_kind = {"counter", sizeof(counter_rec), 0, PROCESSES * WRITES - 1,
                                    VXDB_INDEX_AT(counter_rec, index), VXDB_FIELDS(counter_fields)};

std::string key_of(int writer, int round)
{
    return "writer" + std::to_string(writer) + "_" + std::to_string(round);
}

// One request process: its own keys and records, each written in its own call, with reads between
// them as a handler would do. The exit status counts the failed calls.
int run_writer(int writer)
{
    int failed = 0;
    for (int round = 0; round < WRITES; ++round) {
        if (set_param_int(VXDB_MAIN_DB, key_of(writer, round).c_str(), writer * 1000 + round) != 0)
            ++failed;
        counter_rec rec{};
        if (vxdb_read(VXDB_MAIN_DB, counter_kind, writer * WRITES + round, &rec) == 0)
            ++failed;  // nobody wrote this index yet
        rec.writer = writer;
        rec.round = round;
        snprintf(rec.note, sizeof rec.note, "w%d r%d", writer, round);
        if (vxdb_write(VXDB_MAIN_DB, counter_kind, &rec) != 0)
            ++failed;
        // Everybody also rewrites one shared row: the writes must queue, not fail.
        if (vxdb_write_at(VXDB_MAIN_DB, counter_kind, 0, &rec, "shared") != 0)
            ++failed;
    }
    return failed > 255 ? 255 : failed;
}
}  // namespace

using vxdb_concurrency = vxdb_test;

TEST_F(vxdb_concurrency, ConcurrentProcessesLoseNoWrite)
{
    // The file does not exist yet: the processes also race to create it and its tables.
    vxdb_close_all();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[PROCESSES];
    for (int writer = 0; writer < PROCESSES; ++writer) {
        children[writer] = fork();
        ASSERT_GE(children[writer], 0);
        if (children[writer] == 0) {
            close(start[1]);
            char go;
            (void)!read(start[0], &go, 1);  // returns at the parent's close: all start together
            int failed = run_writer(writer);
            vxdb_close_all();
            _exit(failed);
        }
    }
    close(start[0]);
    close(start[1]);
    for (int writer = 0; writer < PROCESSES; ++writer) {
        int status = 0;
        ASSERT_EQ(waitpid(children[writer], &status, 0), children[writer]);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed calls of writer " << writer;
    }

    int missing_keys = 0, wrong_records = 0;
    for (int writer = 0; writer < PROCESSES; ++writer) {
        for (int round = 0; round < WRITES; ++round) {
            if (get_param_int(VXDB_MAIN_DB, key_of(writer, round).c_str(), -1) != writer * 1000 + round)
                ++missing_keys;
            counter_rec rec;
            char note[20];
            snprintf(note, sizeof note, "w%d r%d", writer, round);
            if (vxdb_read(VXDB_MAIN_DB, counter_kind, writer * WRITES + round, &rec) != 0 || rec.writer != writer ||
                rec.round != round || strcmp(rec.note, note) != 0)
                ++wrong_records;
        }
    }
    EXPECT_EQ(missing_keys, 0);
    EXPECT_EQ(wrong_records, 0);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, counter_kind), PROCESSES * WRITES);
    counter_rec last;
    ASSERT_EQ(vxdb_read(VXDB_MAIN_DB, counter_kind, 0, &last, "shared"), 0);
    EXPECT_EQ(last.round, WRITES - 1);  // every writer's last write of it was its final round
}
