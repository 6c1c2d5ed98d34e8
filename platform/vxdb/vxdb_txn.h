// Transactions over the records of one kind: a read-modify-write that no other process or thread can
// interleave with, and consistent reads that tell "not stored" from "could not be read".
//
//     struct tally { int32_t index; int32_t count; };
//     ... const vxdb_kind tally_kind = {"tally", sizeof(tally), 0, 7, VXDB_INDEX_AT(tally, index), ...};
//
//     int add_one(const char *path, int index)
//     {
//         return vxdb_update(path, tally_kind, [&](vxdb_txn &txn) {
//             tally t;
//             if (txn.read(index, &t) < 0)   // 1 (not stored) leaves t zero with its index set
//                 return -1;
//             ++t.count;
//             return txn.write(&t);
//         });
//     }
//
// vxdb_update runs the callback inside BEGIN IMMEDIATE ... COMMIT. The write lock is taken before the
// first read (waiting for it under the busy time-out), so what the callback read is still what is
// stored when its writes land: concurrent updates of processes and threads queue, none loses
// another's change, and none fails half-way on a lock. A missing file is created with its tables.
//
// vxdb_view runs the callback inside a read transaction: one consistent snapshot, no writes, and no
// write lock, so it never waits for a writer. A file that is not there reads as an empty store and is
// not created.
//
// Inside either, every read tells a row that is not stored (or a table not created yet) apart from a
// file that cannot be read (busy past the time-out, I/O error, not a database), so a caller can
// refuse instead of taking a broken file for an empty one. An operation that fails marks the
// transaction failed: it is rolled back whatever the callback then returns.
//
// The callback must not call other functions of this library: the library's lock is held during the
// whole transaction. It gets the kind's rows, or those of the named table when one is given.
#pragma once

#include "vxdb/vxdb_record.h"

#include <type_traits>

struct sqlite3;

class vxdb_txn {
public:
    // The record of `index` into `record` (zero past a short blob; the index field set): 0 when stored,
    // 1 when not stored (zeroed, index field set) or out of the kind's range, -1 when it cannot be read.
    int read(int index, void *record);
    // Every slot of the kind's range that fits in `capacity` into records[0..]: stored or not (a slot not
    // stored is zero with its index set). The number of slots filled, or -1.
    int read_slots(void *records, int capacity);
    // Stores the record under its index field / under `index`. 0, or -1 (out of range, a view, a failed
    // write).
    int write(const void *record);
    int write_at(int index, const void *record);
    // Removes the row of `index` (0 also when there was none), or -1.
    int remove(int index);
    // The named parameter as get_param_int_checked reads it: 0 with the value or `def` in *out, or -1.
    int param_int(const char *key, int def, int *out);

    bool failed() const { return failed_; }

    // Made by vxdb_update and vxdb_view only.
    vxdb_txn(sqlite3 *db, const vxdb_kind &kind, const char *key, bool writable)
        : db_(db), kind_(kind), key_(key), writable_(writable) {}
    vxdb_txn(const vxdb_txn &) = delete;
    vxdb_txn &operator=(const vxdb_txn &) = delete;

private:
    int fail()
    {
        failed_ = true;
        return -1;
    }

    sqlite3 *db_;  // null: a view of a file that is not there
    const vxdb_kind &kind_;
    const char *key_;
    bool writable_;
    bool failed_ = false;
};

// The callback's result decides: 0 commits; any other value rolls back and is returned.
using vxdb_txn_fn = int (*)(vxdb_txn &txn, void *context);

// 0 when committed; -1 when the transaction could not begin (busy past the time-out, I/O error, not a
// database), an operation inside failed, or the commit failed; else the callback's own result.
int vxdb_update(const char *path, const vxdb_kind &kind, vxdb_txn_fn fn, void *context, const char *table = nullptr);
// The same for reading: 0 or -1 as above, or the callback's result.
int vxdb_view(const char *path, const vxdb_kind &kind, vxdb_txn_fn fn, void *context, const char *table = nullptr);

// Any callable taking a vxdb_txn & and returning int (a lambda with captures).
template <typename F>
    requires std::is_invocable_r_v<int, F &, vxdb_txn &>
int vxdb_update(const char *path, const vxdb_kind &kind, F &&fn, const char *table = nullptr)
{
    return vxdb_update(
        path, kind, [](vxdb_txn &txn, void *context) { return (*static_cast<std::remove_reference_t<F> *>(context))(txn); },
        const_cast<void *>(static_cast<const void *>(&fn)), table);
}

template <typename F>
    requires std::is_invocable_r_v<int, F &, vxdb_txn &>
int vxdb_view(const char *path, const vxdb_kind &kind, F &&fn, const char *table = nullptr)
{
    return vxdb_view(
        path, kind, [](vxdb_txn &txn, void *context) { return (*static_cast<std::remove_reference_t<F> *>(context))(txn); },
        const_cast<void *>(static_cast<const void *>(&fn)), table);
}

// A change of one record in one write transaction: the record of `index` (zero with its index set when
// not stored) is read, `change(record, stored)` alters it, and it is written back. `change` returns 0
// to store, anything else to leave the file as it was. 0 when stored; -1 when the file cannot be read
// or written; else change's own result. Nothing another process stores meanwhile is lost.
template <typename T, typename F>
    requires std::is_invocable_r_v<int, F &, T &, bool>
int vxdb_change(const char *path, const vxdb_kind &kind, int index, F &&change, const char *table = nullptr)
{
    return vxdb_update(
        path, kind,
        [&](vxdb_txn &txn) {
            T record;
            const int found = txn.read(index, &record);
            if (found < 0)
                return -1;
            const int rc = change(record, found == 0);
            return rc != 0 ? rc : txn.write_at(index, &record);
        },
        table);
}
