// Password guessing through "/1000", held back per client address (with the session gate on):
// after LOGIN_GUARD_NAME_TRIES refused logins of one name from one address, or
// LOGIN_GUARD_ADDRESS_TRIES from one address for any names, within LOGIN_GUARD_WINDOW_S, that address
// is refused for LOGIN_GUARD_HOLD_S without any comparison. Counters are per address, so nobody can
// keep an account out from another address. They live in the configuration database (kind
// "login_guard", a fixed number of slots, the stalest reused), so they hold across request processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

constexpr int LOGIN_GUARD_SLOTS = 128;
constexpr int LOGIN_GUARD_NAME_TRIES = 5;
constexpr int LOGIN_GUARD_ADDRESS_TRIES = 20;
constexpr int LOGIN_GUARD_WINDOW_S = 300;
constexpr int LOGIN_GUARD_HOLD_S = 60;

// One counter (the layout is ours).
struct login_guard_record {
    int32_t slot;
    int32_t per_name;      // 1: the refusals of `name` from `address`; 0: every refusal from `address`
    int32_t failures;      // refused logins since first_failure
    char address[46];      // REMOTE_ADDR
    char name[32];         // the login name's first 31 characters, which tell accounts apart
    char reserved[6];
    int64_t first_failure; // start of the counting window; seconds since 1970
    int64_t last_failure;  // 0: a free slot
    int64_t held_until;    // refused without comparison before this time
};
static_assert(sizeof(login_guard_record) == 120);

// 1 when logins of `name` from `address` are held at `now`, 0 when not, -1 when the counters cannot
// be read (busy past the deadline, I/O error). *counted tells whether that name has a counter at that
// address, so that a success clears only what exists.
int login_guard_held(const char *address, const char *name, time_t now, bool *counted);

// Counts one refused login of `name` from `address` in both of its counters, in one immediate
// transaction, and holds the address when a counter reaches its limit. 0, or -1.
int login_guard_refused(const char *address, const char *name, time_t now);

// A successful login forgets the refusals of its name from that address (the address's own count
// stays: one known password must not buy more guesses at others). 0, or -1.
int login_guard_passed(const char *address, const char *name);
