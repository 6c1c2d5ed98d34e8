#include "system/login_guard.h"

#include "system/user_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_txn.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr vxdb_field login_guard_fields[] = {
    VXDB_FIELD(login_guard_record, slot),          VXDB_FIELD(login_guard_record, per_name),
    VXDB_FIELD(login_guard_record, failures),      VXDB_FIELD(login_guard_record, address),
    VXDB_FIELD(login_guard_record, name),          VXDB_FIELD(login_guard_record, first_failure),
    VXDB_FIELD(login_guard_record, last_failure),  VXDB_FIELD(login_guard_record, held_until),
};
const vxdb_kind login_guard_kind = {"login_guard", sizeof(login_guard_record), 0, LOGIN_GUARD_SLOTS - 1,
                                    VXDB_INDEX_AT(login_guard_record, slot), VXDB_FIELDS(login_guard_fields)};
VXDB_REGISTER_KIND(login_guard_kind);

static_assert(sizeof(login_guard_record::name) == USER_NAME_MATCH + 1);

// What a counter is about: the address, and for a per-name counter the name as far as it counts.
struct counter_key {
    char address[sizeof(login_guard_record::address)];
    char name[sizeof(login_guard_record::name)];
    int32_t per_name;

    counter_key(const char *a, const char *n, int32_t per) : address{}, name{}, per_name(per)
    {
        snprintf(address, sizeof address, "%s", a != nullptr ? a : "");
        if (per_name != 0)
            snprintf(name, sizeof name, "%s", n != nullptr ? n : "");
    }
    bool names(const login_guard_record &r) const
    {
        return r.last_failure != 0 && r.per_name == per_name && strcmp(r.address, address) == 0 &&
               strcmp(r.name, name) == 0;
    }
};

using counters = login_guard_record[LOGIN_GUARD_SLOTS];

int find(const counters &all, const counter_key &key)
{
    for (int i = 0; i < LOGIN_GUARD_SLOTS; ++i) {
        if (key.names(all[i]))
            return i;
    }
    return -1;
}

bool stale(const login_guard_record &r, time_t now)
{
    return r.last_failure == 0 || (now - r.first_failure > LOGIN_GUARD_WINDOW_S && r.held_until <= now);
}

// The slot for a new counter: a free or stale one, else the one changed longest ago; never `taken`.
int slot_for(const counters &all, time_t now, int taken)
{
    int oldest = -1;
    for (int i = 0; i < LOGIN_GUARD_SLOTS; ++i) {
        if (i == taken)
            continue;
        if (stale(all[i], now))
            return i;
        if (oldest < 0 || all[i].last_failure < all[oldest].last_failure)
            oldest = i;
    }
    return oldest;
}

int count_refusal(vxdb_txn &txn, counters &all, const counter_key &key, int limit, time_t now, int taken)
{
    int i = find(all, key);
    if (i < 0) {
        i = slot_for(all, now, taken);
        login_guard_record fresh{};
        fresh.slot = i;
        fresh.per_name = key.per_name;
        memcpy(fresh.address, key.address, sizeof fresh.address);
        memcpy(fresh.name, key.name, sizeof fresh.name);
        all[i] = fresh;
    }
    login_guard_record &r = all[i];
    if (now - r.first_failure > LOGIN_GUARD_WINDOW_S || r.failures == 0) {
        r.failures = 0;
        r.first_failure = now;
    }
    ++r.failures;
    r.last_failure = now;
    // The count is kept through the hold: each further refusal inside the window holds again, so the
    // window, not the hold, bounds the guesses.
    if (r.failures >= limit)
        r.held_until = now + LOGIN_GUARD_HOLD_S;
    return txn.write(&r) == 0 ? i : -1;
}
}  // namespace

int login_guard_held(const char *address, const char *name, time_t now, bool *counted)
{
    const counter_key by_name(address, name, 1), by_address(address, name, 0);
    bool has_counter = false;
    int rc = vxdb_view(VXDB_MAIN_DB, login_guard_kind, [&](vxdb_txn &txn) {
        static counters all;
        if (txn.read_slots(all, LOGIN_GUARD_SLOTS) != LOGIN_GUARD_SLOTS)
            return -1;
        int held = 0;
        for (const counter_key *key : {&by_name, &by_address}) {
            int i = find(all, *key);
            if (i >= 0 && all[i].held_until > now)
                held = 1;
            if (i >= 0 && key == &by_name)
                has_counter = true;
        }
        return held;
    });
    if (counted != nullptr)
        *counted = has_counter;
    return rc;
}

int login_guard_refused(const char *address, const char *name, time_t now)
{
    const counter_key by_name(address, name, 1), by_address(address, name, 0);
    return vxdb_update(VXDB_MAIN_DB, login_guard_kind, [&](vxdb_txn &txn) {
        static counters all;
        if (txn.read_slots(all, LOGIN_GUARD_SLOTS) != LOGIN_GUARD_SLOTS)
            return -1;
        int first = count_refusal(txn, all, by_name, LOGIN_GUARD_NAME_TRIES, now, -1);
        if (first < 0 || count_refusal(txn, all, by_address, LOGIN_GUARD_ADDRESS_TRIES, now, first) < 0)
            return -1;
        return 0;
    });
}

int login_guard_passed(const char *address, const char *name)
{
    const counter_key by_name(address, name, 1);
    return vxdb_update(VXDB_MAIN_DB, login_guard_kind, [&](vxdb_txn &txn) {
        static counters all;
        if (txn.read_slots(all, LOGIN_GUARD_SLOTS) != LOGIN_GUARD_SLOTS)
            return -1;
        int i = find(all, by_name);
        return i < 0 ? 0 : txn.remove(i);
    });
}
